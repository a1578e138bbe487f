#include "configmodel.h"
#include "markerbitmaps.h"
#include "mycbutton.h"
#include "resourceicons.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTest>

namespace {

constexpr int W = 120;
constexpr int H = 40;

struct Fixture {
    QWidget window;
    MyCButton *button;
    Fixture(uint32_t flags, uint32_t colour, const QString &caption = QString())
    {
        window.resize(W + 20, H + 20);
        button = new MyCButton(&window);
        button->setGeometry(10, 10, W, H);
        button->SetFlags(flags);
        button->SetColor(colour);
        button->setText(caption);
        window.show();
    }
    QImage Grab() const { return button->grab().toImage().convertToFormat(QImage::Format_RGB32); }
};

QColor Face()
{
    return QApplication::palette().color(QPalette::Button);
}

// Rows of the image that hold pixels of the caption's colour.
QList<int> TextRows(const QImage &image)
{
    const QColor text = QApplication::palette().color(QPalette::ButtonText);
    QList<int> rows;
    for (int y = 3; y < image.height() - 3; ++y)
        for (int x = 3; x < image.width() - 40; ++x)
            if (image.pixelColor(x, y) == text) {
                rows.append(y);
                break;
            }
    return rows;
}

} // namespace

class TestMyCButton : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void markerBitmapsFollowTheirPixelTable();
    void markers_data();
    void markers();
    void lastLaunchBar();
    void captionColourFollowsTheFace_data();
    void captionColourFollowsTheFace();
    void faces_data();
    void faces();
    void focusedAndPushed_data();
    void focusedAndPushed();
    void captionOnOneLineOrWrapped();
    void doubleClickIsOneClick_data();
    void doubleClickIsOneClick();
    void iconsResolve();
};

void TestMyCButton::initTestCase()
{
    LoadMarkerBitmaps();
}

void TestMyCButton::markerBitmapsFollowTheirPixelTable()
{
    const QImage one = BuildMarkerBitmap(0, QColor(1, 2, 3));
    QCOMPARE(one.size(), QSize(MARKER_WIDTH, MARKER_HEIGHT));
    int digit = 0;
    for (int y = 0; y < MARKER_HEIGHT; ++y)
        for (int x = 0; x < MARKER_WIDTH; ++x)
            digit += one.pixelColor(x, y) == QColor(255, 0, 0) ? 1 : 0;
    QCOMPARE(digit, 11); // "..#.." eight times and "###.."
    QCOMPARE(one.pixelColor(1, 3), QColor(255, 0, 0));
    QCOMPARE(one.pixelColor(3, 2), QColor(255, 0, 0));
    QCOMPARE(one.pixelColor(0, 0), QColor(1, 2, 3));
    QCOMPARE(BuildMarkerBitmap(1, Qt::white).pixelColor(5, 10), QColor(0, 128, 0)); // "#####" of the 2
    QCOMPARE(BuildMarkerBitmap(2, Qt::white).pixelColor(3, 6), QColor(0, 0, 255));  // "..##." of the 3
    QCOMPARE(BuildMarkerBitmap(3, Qt::white).pixelColor(1, 8), QColor(255, 0, 255)); // "#####" of the 4
    QCOMPARE(BuildMarkerBitmap(3, Qt::white).pixelColor(5, 8), QColor(255, 0, 255));
    QCOMPARE(BuildMarkerBitmap(3, Qt::white).pixelColor(6, 8), QColor(Qt::white));
}

void TestMyCButton::markers_data()
{
    QTest::addColumn<uint>("flags");
    QTest::addColumn<QList<int>>("left");   // left edge of each drawn marker, from the right edge
    QTest::addColumn<QList<int>>("marker"); // which marker stands there
    QTest::addColumn<uint>("unreachable");  // stations that no link reaches
    QTest::newRow("1 and 3") << 0x05u << QList<int>{18, 11} << QList<int>{0, 2} << 0u;
    QTest::newRow("all four") << 0x0Fu << QList<int>{32, 25, 18, 11} << QList<int>{0, 1, 2, 3} << 0u;
    QTest::newRow("4 alone, inline") << 0x18u << QList<int>{11} << QList<int>{3} << 0u;
    QTest::newRow("none") << 0x10u << QList<int>{} << QList<int>{} << 0x0Fu;
    QTest::newRow("3 of 1 and 3 unreachable") << 0x05u << QList<int>{18, 11} << QList<int>{0, 2} << 0x04u;
    QTest::newRow("all unreachable, inline") << 0x1Fu << QList<int>{32, 25, 18, 11} << QList<int>{0, 1, 2, 3} << 0x0Fu;
    // A station without a marker on this button changes nothing on it.
    QTest::newRow("2 unreachable, markers 1 and 4") << 0x09u << QList<int>{18, 11} << QList<int>{0, 3} << 0x02u;
}

void TestMyCButton::markers()
{
    QFETCH(uint, flags);
    QFETCH(QList<int>, left);
    QFETCH(QList<int>, marker);
    QFETCH(uint, unreachable);
    // A white face where the inline face is not asked for, so every pixel is known.
    const uint32_t colour = flags & 0x10 ? 0 : 0x00FFFFFFu;
    Fixture f(flags, colour);
    f.button->SetUnreachable(unreachable);
    const QImage image = f.Grab();
    const int y = H - 16;
    const QColor stroke = QApplication::palette().color(QPalette::ButtonText);
    for (int i = 0; i < left.size(); ++i) {
        // Digit pixels grey for a station nothing reaches, in its colour
        // otherwise; the background as the marker bitmap has it. A grey one
        // is also crossed out by a stroke from its lower left to its upper
        // right, through every column.
        const bool grey = unreachable & (1u << marker[i]);
        const QImage coloured = MarkerBitmap(marker[i]);
        QList<int> struckColumns;
        for (int my = 0; my < MARKER_HEIGHT; ++my)
            for (int mx = 0; mx < MARKER_WIDTH; ++mx) {
                const QColor pixel = coloured.pixelColor(mx, my);
                const bool digit = pixel != Face();
                const QColor expected = digit && grey ? QColor(128, 128, 128) : pixel;
                const QColor got = image.pixelColor(W - left[i] + mx, y + my);
                if (grey && got == stroke && got != expected) {
                    if (!struckColumns.contains(mx))
                        struckColumns << mx;
                    continue;
                }
                QCOMPARE(got, expected);
            }
        QCOMPARE(struckColumns.size(), grey ? MARKER_WIDTH : 0);
        if (grey) {
            QCOMPARE(image.pixelColor(W - left[i], y + MARKER_HEIGHT - 1), stroke);
            QCOMPARE(image.pixelColor(W - left[i] + MARKER_WIDTH - 1, y + 1), stroke);
        }
    }
    // Nothing drawn left of the first marker in the marker band.
    const int first = left.isEmpty() ? 4 : left.first();
    QCOMPARE(image.pixelColor(W - first - 1, y + 8), colour ? QColor(Qt::white) : MyCButton::InlineFace(Face()));
}

void TestMyCButton::lastLaunchBar()
{
    Fixture f(0x01, 0x00FFFFFFu, QStringLiteral("Go"));
    const QColor highlight = f.button->palette().color(QPalette::Highlight);
    QVERIFY(highlight != QColor(Qt::white));
    QImage image = f.Grab();
    QVERIFY(image.pixelColor(3, H / 2) != highlight);

    f.button->SetLastLaunch(true); // redraws by itself
    image = f.Grab();
    // The bar: x from 2 to 4, y from 3 to H - 4, inside the frame.
    for (int y = 3; y <= H - 4; ++y)
        for (int x = 2; x <= 4; ++x)
            QCOMPARE(image.pixelColor(x, y), highlight);
    // The outline: the two outermost pixels all round.
    for (int i = 0; i < MyCButton::LAST_LAUNCH_OUTLINE; ++i)
        for (const QPoint p : {QPoint(i, H / 2), QPoint(W - 1 - i, H / 2), QPoint(W / 2, i), QPoint(W / 2, H - 1 - i),
                               QPoint(i, i), QPoint(W - 1 - i, H - 1 - i)})
            QVERIFY2(image.pixelColor(p) == highlight, qPrintable(QStringLiteral("%1,%2").arg(p.x()).arg(p.y())));
    // Nothing of it elsewhere.
    for (const QPoint p : {QPoint(5, H / 2), QPoint(3, 2), QPoint(3, H - 3), QPoint(W - 3, H / 2), QPoint(W / 2, 2)})
        QVERIFY2(image.pixelColor(p) != highlight, qPrintable(QStringLiteral("%1,%2").arg(p.x()).arg(p.y())));

    f.button->SetLastLaunch(false);
    image = f.Grab();
    for (const QPoint p : {QPoint(3, H / 2), QPoint(0, H / 2), QPoint(W / 2, 0)})
        QVERIFY(image.pixelColor(p) != highlight);
}

void TestMyCButton::captionColourFollowsTheFace_data()
{
    QTest::addColumn<uint>("flags");
    QTest::addColumn<uint>("colour");
    QTest::addColumn<bool>("white");
    QTest::newRow("navy") << 0u << 0x00800000u << true;
    QTest::newRow("dark grey") << 0u << 0x00404040u << true;
    QTest::newRow("grey 117, luminance 0.178") << 0u << 0x00757575u << true;
    QTest::newRow("grey 118, luminance 0.181") << 0u << 0x00767676u << false;
    QTest::newRow("pure blue, 0.072") << 0u << 0x00FF0000u << true;
    QTest::newRow("pure green, 0.715") << 0u << 0x0000FF00u << false;
    QTest::newRow("light yellow") << 0u << 0x0080FFFFu << false;
    QTest::newRow("inline face") << 0x10u << 0u << false;
}

void TestMyCButton::captionColourFollowsTheFace()
{
    QFETCH(uint, flags);
    QFETCH(uint, colour);
    QFETCH(bool, white);
    Fixture f(flags, colour, QStringLiteral("MMMM"));
    const QColor text = f.button->palette().color(QPalette::ButtonText);
    const QColor expected = white ? QColor(Qt::white) : text;
    const QColor other = white ? text : QColor(Qt::white);
    const QImage image = f.Grab();
    int hits = 0;
    int wrong = 0;
    // The caption's middle band, clear of the frame.
    for (int y = H / 2 - 3; y <= H / 2 + 3; ++y)
        for (int x = W / 2 - 15; x <= W / 2 + 15; ++x) {
            hits += image.pixelColor(x, y) == expected;
            wrong += image.pixelColor(x, y) == other;
        }
    QVERIFY2(hits > 10, qPrintable(QStringLiteral("%1 caption pixels").arg(hits)));
    QCOMPARE(wrong, 0);
}

void TestMyCButton::faces_data()
{
    QTest::addColumn<uint>("flags");
    QTest::addColumn<uint>("colour");
    QTest::addColumn<QColor>("face");
    QTest::newRow("inline, no colour") << 0x10u << 0u << MyCButton::InlineFace(Face());
    QTest::newRow("inline with colour") << 0x10u << 0x00FF8000u << QColor(0, 128, 255);
    QTest::newRow("pure red") << 0u << 255u << QColor(255, 0, 0);
}

void TestMyCButton::faces()
{
    QFETCH(uint, flags);
    QFETCH(uint, colour);
    QFETCH(QColor, face);
    Fixture f(flags, colour);
    const QImage image = f.Grab();
    QCOMPARE(image.pixelColor(10, 10), face);
    QCOMPARE(image.pixelColor(W / 2, H - 4), face);
    if (colour) {
        // The colour fills from 1 pixel inside the left and top to 2 inside the right and bottom.
        QCOMPARE(image.pixelColor(1, 1), face);
        QCOMPARE(image.pixelColor(W - 3, H - 3), face);
        QVERIFY(image.pixelColor(W - 2, H - 2) != face);
    }
    QCOMPARE(MyCButton::InlineFace(QColor(192, 192, 192)), QColor(192, 128, 128));
}

void TestMyCButton::focusedAndPushed_data()
{
    QTest::addColumn<bool>("lastLaunch");
    QTest::newRow("focus alone") << false;
    QTest::newRow("focus on the last launch") << true;
}

// Focus is a thin half-tone frame inside the button; it neither looks like
// the last launch's mark nor covers it.
void TestMyCButton::focusedAndPushed()
{
    QFETCH(bool, lastLaunch);
    Fixture f(0x01, 0x00C0C0C0u, QStringLiteral("Go"));
    const QColor face(192, 192, 192);
    const QColor highlight = f.button->palette().color(QPalette::Highlight);
    f.button->SetLastLaunch(lastLaunch);
    const QImage unfocused = f.Grab();
    f.button->setFocus();
    f.button->setDown(true);
    QTRY_VERIFY(f.button->hasFocus());
    const QImage image = f.Grab();
    constexpr int in = MyCButton::FOCUS_FRAME_INSET;
    // The frame: one pixel, neither the face nor black nor the highlight.
    QList<QPoint> frame = {QPoint(W - 1 - in, H / 2), QPoint(W / 2 - 30, in), QPoint(W / 2 - 30, H - 1 - in)};
    if (!lastLaunch)
        frame << QPoint(in, H / 2); // on the last launch the bar lies over it
    for (const QPoint p : frame) {
        const QColor got = image.pixelColor(p);
        QVERIFY2(got != face && got != QColor(Qt::black) && got != highlight,
                 qPrintable(QStringLiteral("%1,%2: %3").arg(p.x()).arg(p.y()).arg(got.name())));
    }
    QCOMPARE(image.pixelColor(W - 2 - in, H / 2), face);
    // The bar, where there is one, is whole over the frame.
    if (lastLaunch)
        for (int y = 3; y <= H - 4; ++y)
            QCOMPARE(image.pixelColor(3, y), highlight);
    QCOMPARE(image.pixelColor(20, 20), face); // the face inside
    // The edge: no black border; the mark, where there is one, exactly as without focus.
    for (int x = 0; x < W; ++x)
        for (int y : {0, 1, 3, H / 2, H - 4, H - 2, H - 1})
            if (x < in || x >= W - in || y < in || y >= H - in) {
                if (unfocused.pixelColor(x, y) == highlight)
                    QCOMPARE(image.pixelColor(x, y), highlight);
                if (!lastLaunch)
                    QVERIFY(image.pixelColor(x, y) != highlight);
            }
    for (const QPoint p : {QPoint(0, 0), QPoint(W - 1, H - 1), QPoint(W / 2, 0)})
        QVERIFY(image.pixelColor(p) != QColor(Qt::black));

    f.button->setDown(false);
    f.button->clearFocus();
    QTRY_VERIFY(!f.button->hasFocus());
    QCOMPARE(f.Grab().pixelColor(W - 1 - in, H / 2), face);
}

void TestMyCButton::doubleClickIsOneClick_data()
{
    QTest::addColumn<bool>("launchButton");
    QTest::addColumn<bool>("moves"); // the mouse moves within the button during the second press
    QTest::addColumn<int>("clicks");
    // Ordinary push buttons keep their second click.
    QTest::newRow("push button") << false << false << 2;
    QTest::newRow("launch button") << true << false << 1;
    QTest::newRow("launch button, mouse moving") << true << true << 1;
}

void TestMyCButton::doubleClickIsOneClick()
{
    QFETCH(bool, launchButton);
    QFETCH(bool, moves);
    QFETCH(int, clicks);
    QWidget window;
    QPushButton *button = launchButton ? new MyCButton(&window) : new QPushButton(&window);
    button->setGeometry(10, 10, W, H);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    int clicked = 0;
    connect(button, &QAbstractButton::clicked, this, [&clicked] { ++clicked; });
    // As the desktop delivers a double click: press, release, press with the
    // double click, release.
    QTest::mouseClick(button, Qt::LeftButton);
    QTest::mousePress(button, Qt::LeftButton);
    QTest::mouseDClick(button, Qt::LeftButton);
    if (moves) {
        QMouseEvent move(QEvent::MouseMove, QPointF(20, 20), button->mapToGlobal(QPointF(20, 20)), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(button, &move);
    }
    QTest::mouseRelease(button, Qt::LeftButton);
    QCOMPARE(clicked, clicks);
    QVERIFY(!button->isDown());
    // The next click after it is a launch again.
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(), QTest::mouseDoubleClickInterval + 100);
    QCOMPARE(clicked, clicks + 1);
}

void TestMyCButton::captionOnOneLineOrWrapped()
{
    const QString caption = QStringLiteral("Alpha Beta Gamma Delta Epsilon Zeta Eta");
    g_Settings.DLG_MULTILINE = 0;
    Fixture single(0, 0x00FFFFFFu, caption);
    const QList<int> one = TextRows(single.Grab());
    g_Settings.DLG_MULTILINE = 1;
    Fixture wrapped(0, 0x00FFFFFFu, caption);
    const QList<int> many = TextRows(wrapped.Grab());
    g_Settings.DLG_MULTILINE = 0;

    QVERIFY(!one.isEmpty());
    QVERIFY(!many.isEmpty());
    const int lineHeight = QFontMetrics(single.button->font()).height();
    QVERIFY2(one.last() - one.first() < lineHeight, "one line, cut");
    QVERIFY2(many.last() - many.first() >= lineHeight, "wrapped onto further lines");
    QVERIFY(many.first() >= 6);                  // from 6 pixels below the top
    QVERIFY(one.first() > many.first());         // centred vertically on one line
}

void TestMyCButton::iconsResolve()
{
    for (int id : {128, 134, 142, 143, 144, 145, 146, 147, 148, 149, 152, 244})
        QVERIFY2(!ResourceIcon(id).pixmap(16, 16).isNull(), qPrintable(QString::number(id)));
}

QTEST_MAIN(TestMyCButton)
#include "tst_mycbutton.moc"
