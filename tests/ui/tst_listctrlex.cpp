#include "listctrlex.h"

#include "syscolors.h"
#include "tooltip.h"
#include "virtualkeys.h"

#include <QHeaderView>
#include <QHelpEvent>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QTest>
#include <QToolTip>
#include <QUrl>

#include <functional>

namespace {

// The owner's rows, handed to the list as its context.
struct Rows {
    QList<int> asked;
    int image = -1;
    QString text = QStringLiteral("r%1 c%2");
    std::function<void(int, int, uint32_t *, uint32_t *, uint32_t *)> look;
    QList<int> keys;
    QList<int> chars;
    const QMimeData *dropped = nullptr;
    QList<int> dropAt;
    QByteArray dragPath;
    QString tip;
};

void ShowCell(void *context, ListDispInfo *info)
{
    auto *rows = static_cast<Rows *>(context);
    rows->asked << info->item;
    if (info->mask & LVIF_TEXT) {
        const QString t = rows->text.contains(QLatin1Char('%')) ? rows->text.arg(info->item).arg(info->subItem) : rows->text;
        const qsizetype n = std::min<qsizetype>(t.size(), info->textMax - 1);
        std::copy_n(reinterpret_cast<const char16_t *>(t.utf16()), n, info->text);
    }
    if (info->mask & LVIF_IMAGE)
        info->image = rows->image;
}

void LookCell(void *context, int item, int subItem, uint32_t *text, uint32_t *back, uint32_t *style)
{
    auto *rows = static_cast<Rows *>(context);
    if (rows->look)
        rows->look(item, subItem, text, back, style);
}

void KeyDown(void *context, int code) { static_cast<Rows *>(context)->keys << code; }
void Char(void *context, int code) { static_cast<Rows *>(context)->chars << code; }

void Dropped(void *context, const QMimeData *drop, int item, int subItem)
{
    auto *rows = static_cast<Rows *>(context);
    rows->dropped = drop;
    rows->dropAt = {item, subItem};
}

bool Drag(void *context, int, int, char *path)
{
    auto *rows = static_cast<Rows *>(context);
    std::memcpy(path, rows->dragPath.constData(), size_t(std::min<qsizetype>(rows->dragPath.size(), 259)));
    return !rows->dragPath.isEmpty();
}

QString Tip(void *context, int item, int subItem)
{
    auto *rows = static_cast<Rows *>(context);
    if (item == 2)
        return {};
    return rows->tip.isEmpty() ? QStringLiteral("tip %1 %2").arg(item).arg(subItem) : rows->tip;
}

struct Fixture {
    Rows rows;
    ListCtrlEx list;
    explicit Fixture(int count = 20)
    {
        list.resize(420, 300);
        list.InsertColumn(0, QStringLiteral("Name"), LVCFMT_LEFT, 101);
        list.InsertColumn(1, QStringLiteral("Date"), LVCFMT_RIGHT, 100);
        list.InsertColumn(2, QStringLiteral("Description"), LVCFMT_CENTER, 150);
        list.SetCallbacks(&rows, count, ShowCell, LookCell);
        list.show();
    }
    QImage Grab() { return list.viewport()->grab().toImage(); }
    QRect Cell(int row, int column) { return list.visualRect(list.model()->index(row, column)); }
};

QIcon Swatch(const QColor &colour)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(colour);
    return QIcon(pixmap);
}

int CountColour(const QImage &image, const QRect &area, const QColor &colour)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.pixelColor(x, y) == colour)
                ++n;
    return n;
}

class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

} // namespace

class TestListCtrlEx : public QObject {
    Q_OBJECT
private slots:
    void virtualRowsAreAskedWhenPainted();
    void progressCell_data();
    void progressCell();
    void otherStyleCodesDrawNormally_data();
    void otherStyleCodesDrawNormally();
    void selectedRowIsOneColour_data();
    void selectedRowIsOneColour();
    void derivedFontsAreCreatedOnce();
    void clearSelectionRedrawsOnlyWithASelection();
    void sortImageRightOfTheTitle();
    void itemCountKeepsSelectionAndScroll();
    void keyHooksConsumeTheirKeys();
    void tooltipsPerCell();
    void dragAndDrop();
};

void TestListCtrlEx::virtualRowsAreAskedWhenPainted()
{
    Fixture f(1000);
    QVERIFY(QTest::qWaitForWindowExposed(&f.list));
    f.rows.asked.clear();
    f.Grab();
    QVERIFY(!f.rows.asked.isEmpty());
    QVERIFY(*std::max_element(f.rows.asked.begin(), f.rows.asked.end()) < 100);
    QCOMPARE(f.list.GetItemCount(), 1000);
    QCOMPARE(f.list.model()->index(5, 1).data().toString(), QStringLiteral("r5 c1"));
    // Without a display callback nothing is filled.
    ListCtrlEx bare;
    bare.InsertColumn(0, QStringLiteral("x"));
    bare.SetCallbacks(nullptr, 3, nullptr, nullptr);
    QCOMPARE(bare.model()->index(1, 0).data().toString(), QString());
}

void TestListCtrlEx::progressCell_data()
{
    QTest::addColumn<int>("done");
    QTest::addColumn<int>("total");
    QTest::addColumn<int>("bar");
    QTest::newRow("3 of 4 in 101 px") << 3 << 4 << 75;
    QTest::newRow("done 0") << 0 << 4 << 0;
    QTest::newRow("total 0") << 3 << 0 << 0;
    QTest::newRow("full") << 4 << 4 << 100;
    QTest::newRow("done above total stays in the cell") << 8 << 4 << 100;
}

void TestListCtrlEx::progressCell()
{
    QFETCH(int, done);
    QFETCH(int, total);
    QFETCH(int, bar);
    Fixture f;
    f.rows.text = QString(); // the bar alone; the text has its own test
    const uint32_t barColour = MakeColorRef(0, 128, 255);
    f.rows.look = [&](int item, int subItem, uint32_t *, uint32_t *back, uint32_t *style) {
        if (item == 0 && subItem == 0) {
            *back = barColour;
            *style = CellProgress(unsigned(done), unsigned(total));
        }
    };
    QVERIFY(QTest::qWaitForWindowExposed(&f.list));
    const QImage image = f.Grab();
    const QRect cell = f.Cell(0, 0);
    QCOMPARE(cell.width(), 101);
    const QColor barQt = ColorFromRef(barColour);
    const QColor window = SysColor(COLOR_WINDOW);
    const int y = cell.top() + 2;
    // The bar starts one pixel inside the cell's left edge.
    QVERIFY(image.pixelColor(cell.left(), y) != barQt);
    QCOMPARE(CountColour(image, QRect(cell.left(), y, cell.width(), 1), barQt), bar);
    if (bar > 0) {
        QCOMPARE(image.pixelColor(cell.left() + 1, y), barQt);
        QCOMPARE(image.pixelColor(cell.left() + bar, y), barQt);
    }
    if (bar < 100)
        QCOMPARE(image.pixelColor(cell.left() + 1 + bar, y), window);
    // One pixel off at the bottom, and nothing beyond the cell.
    QVERIFY(image.pixelColor(cell.left() + 1, cell.bottom()) != barQt);
    const QRect next = f.Cell(0, 1);
    QCOMPARE(CountColour(image, QRect(next.left(), y, next.width(), 1), barQt), 0);
}

void TestListCtrlEx::otherStyleCodesDrawNormally_data()
{
    QTest::addColumn<uint32_t>("style");
    QTest::newRow("0") << 0u;
    QTest::newRow("5") << 5u;
    QTest::newRow("199") << 199u;
    QTest::newRow("201 with progress values") << (201u | (3u << 16) | (4u << 24));
    QTest::newRow("255") << 255u;
}

void TestListCtrlEx::otherStyleCodesDrawNormally()
{
    QFETCH(uint32_t, style);
    Fixture f;
    f.rows.text = QStringLiteral("WWWW");
    const uint32_t ink = MakeColorRef(200, 0, 0);
    const uint32_t paper = MakeColorRef(0, 200, 0);
    f.rows.look = [&](int item, int subItem, uint32_t *text, uint32_t *back, uint32_t *s) {
        if (item == 1 && subItem == 0) {
            *text = ink;
            *back = paper;
            *s = style;
        }
    };
    QVERIFY(QTest::qWaitForWindowExposed(&f.list));
    const QImage image = f.Grab();
    const QRect cell = f.Cell(1, 0);
    // The whole cell in the callback's background, the text in its colour.
    QCOMPARE(image.pixelColor(cell.right() - 2, cell.top() + 1), ColorFromRef(paper));
    QCOMPARE(image.pixelColor(cell.left() + 1, cell.bottom() - 1), ColorFromRef(paper));
    int inked = 0;
    for (int y = cell.top(); y <= cell.bottom(); ++y)
        for (int x = cell.left(); x <= cell.right(); ++x)
            if (const QColor c = image.pixelColor(x, y); c.red() > 120 && c.green() < 100)
                ++inked;
    QVERIFY(inked > 10);
    QCOMPARE(CountColour(image, f.Cell(2, 0), ColorFromRef(paper)), 0);
}

void TestListCtrlEx::selectedRowIsOneColour_data()
{
    QTest::addColumn<bool>("focused");
    QTest::newRow("focused: highlight") << true;
    QTest::newRow("unfocused: button face") << false;
}

void TestListCtrlEx::selectedRowIsOneColour()
{
    QFETCH(bool, focused);
    Fixture f;
    f.rows.text = QString();
    f.rows.look = [](int, int subItem, uint32_t *, uint32_t *, uint32_t *style) {
        if (subItem == 0)
            *style = CellProgress(1, 4);
    };
    f.list.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&f.list));
    f.list.selectRow(0);
    if (focused)
        f.list.setFocus();
    else
        f.list.clearFocus();
    QCOMPARE(f.list.hasFocus(), focused);
    const QImage image = f.Grab();
    const QColor expected = SysColor(focused ? COLOR_HIGHLIGHT : COLOR_BTNFACE);
    // The progress cell past its bar and the plain cells beside it.
    for (int column = 0; column < 3; ++column) {
        const QRect cell = f.Cell(0, column);
        QCOMPARE(image.pixelColor(cell.right() - 3, cell.top() + 3), expected);
    }
    QCOMPARE(image.pixelColor(f.Cell(1, 1).right() - 3, f.Cell(1, 1).top() + 3), SysColor(COLOR_WINDOW));
}

void TestListCtrlEx::derivedFontsAreCreatedOnce()
{
    Fixture f;
    const QFont original = f.list.font();
    QVERIFY(f.list.StyleFont(CELL_BOLD).bold());
    QVERIFY(f.list.StyleFont(CELL_ITALIC).italic());
    QVERIFY(f.list.StyleFont(CELL_UNDERLINE).underline());
    QVERIFY(f.list.StyleFont(CELL_STRIKEOUT).strikeOut());
    QFont bigger = original;
    bigger.setPixelSize(30);
    f.list.setFont(bigger);
    f.list.SetCallbacks(&f.rows, 20, ShowCell, LookCell);
    QCOMPARE(f.list.StyleFont(CELL_BOLD).pixelSize(), original.pixelSize());
    QCOMPARE(f.list.StyleFont(CELL_BOLD).pointSize(), original.pointSize());

    // A bold cell carries more ink than the same text drawn plainly.
    f.list.setFont(original);
    f.rows.text = QStringLiteral("Bold text");
    f.rows.look = [](int item, int subItem, uint32_t *, uint32_t *, uint32_t *s) {
        if (item == 0 && subItem == 0)
            *s = CELL_BOLD;
    };
    QVERIFY(QTest::qWaitForWindowExposed(&f.list));
    const QImage image = f.Grab();
    const QColor text = SysColor(COLOR_WINDOWTEXT);
    const auto ink = [&](const QRect &r) {
        int n = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                if (qGray(image.pixel(x, y)) < 128 && text.lightness() < 128)
                    ++n;
        return n;
    };
    QVERIFY(ink(f.Cell(0, 0)) > ink(f.Cell(1, 0)));
}

void TestListCtrlEx::clearSelectionRedrawsOnlyWithASelection()
{
    Fixture f;
    QVERIFY(QTest::qWaitForWindowExposed(&f.list));
    PaintCounter counter;
    f.list.viewport()->installEventFilter(&counter);
    QCoreApplication::processEvents();
    counter.paints = 0;
    f.list.ClearSelection();
    QCoreApplication::processEvents();
    QCOMPARE(counter.paints, 0);

    f.list.SetItemState(3, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    f.list.SetItemState(5, LVIS_SELECTED, LVIS_SELECTED);
    QCOMPARE(f.list.GetSelectedCount(), 2);
    QCOMPARE(f.list.GetNextItem(-1, LVNI_SELECTED), 3);
    QCOMPARE(f.list.GetNextItem(3, LVNI_SELECTED), 5);
    QCoreApplication::processEvents();
    counter.paints = 0;
    f.list.ClearSelection();
    QVERIFY(counter.paints >= 1); // redrawn at once
    QCOMPARE(f.list.GetSelectedCount(), 0);
    QCOMPARE(f.list.GetNextItem(-1, LVNI_FOCUSED), 3); // the focus stays
}

void TestListCtrlEx::sortImageRightOfTheTitle()
{
    Fixture f;
    const QColor red(255, 0, 0), blue(0, 0, 255);
    f.list.SetImageList({Swatch(red), Swatch(blue)});
    for (int c = 0; c < 3; ++c)
        f.list.SetSortImage(c, -1);
    f.list.SetSortImage(1, 0);
    QVERIFY(QTest::qWaitForWindowExposed(&f.list));
    QHeaderView *header = f.list.horizontalHeader();
    const auto section = [&](int c) {
        return QRect(header->sectionViewportPosition(c), 0, header->sectionSize(c), header->height());
    };
    QImage image = header->viewport()->grab().toImage();
    QVERIFY(CountColour(image, section(1), red) > 100);
    QCOMPARE(CountColour(image, section(0), red) + CountColour(image, section(2), red), 0);
    QCOMPARE(f.list.SortImage(1), 0);
    QCOMPARE(f.list.ColumnFormat(1) & LVCFMT_JUSTIFYMASK, LVCFMT_RIGHT);

    f.list.SetSortImage(1, -1);
    f.list.SetSortImage(0, 1);
    image = header->viewport()->grab().toImage();
    QCOMPARE(CountColour(image, QRect(QPoint(0, 0), image.size()), red), 0);
    QVERIFY(CountColour(image, section(0), blue) > 100);
    // Right of the left-justified title, which keeps its justification.
    int leftmost = image.width();
    for (int y = 0; y < image.height(); ++y)
        for (int x = section(0).left(); x <= section(0).right(); ++x)
            if (image.pixelColor(x, y) == blue)
                leftmost = std::min(leftmost, x);
    QVERIFY(leftmost > section(0).left() + header->fontMetrics().horizontalAdvance(QStringLiteral("Name")));
    QCOMPARE(f.list.ColumnFormat(0), LVCFMT_LEFT | LVCFMT_IMAGE | LVCFMT_BITMAP_ON_RIGHT);
    QCOMPARE(f.list.ColumnFormat(1), LVCFMT_RIGHT);
    QCOMPARE(f.list.model()->headerData(2, Qt::Horizontal, Qt::TextAlignmentRole).value<Qt::Alignment>()
                 & Qt::AlignHorizontal_Mask,
             Qt::AlignHCenter);
}

void TestListCtrlEx::itemCountKeepsSelectionAndScroll()
{
    Fixture f(1000);
    QVERIFY(QTest::qWaitForWindowExposed(&f.list));
    f.list.SetItemState(500, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    f.list.EnsureVisible(500);
    const int scrolled = f.list.verticalScrollBar()->value();
    QVERIFY(scrolled > 0);
    f.list.SetItemCountKeepScroll(800);
    QCOMPARE(f.list.GetItemCount(), 800);
    QCOMPARE(f.list.verticalScrollBar()->value(), scrolled);
    QCOMPARE(f.list.GetNextItem(-1, LVNI_SELECTED), 500);
    f.list.SetItemCount(300);
    QCOMPARE(f.list.verticalScrollBar()->value(), 0);
    QCOMPARE(f.list.GetSelectedCount(), 0);
}

void TestListCtrlEx::keyHooksConsumeTheirKeys()
{
    Fixture f;
    const int keys[] = {VK_DOWN, VK_F1};
    const int chars[] = {'r', 'q'};
    f.list.SetKeyDownHook(&f.rows, KeyDown, keys, 2);
    f.list.SetCharHook(&f.rows, Char, chars, 2);
    f.list.show();
    f.list.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&f.list));
    f.list.setFocus();
    f.list.SetItemState(4, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    QTest::keyClick(&f.list, Qt::Key_Down);
    QCOMPARE(f.rows.keys, QList<int>({VK_DOWN}));
    QCOMPARE(f.list.currentIndex().row(), 4);
    QTest::keyClick(&f.list, Qt::Key_Up); // not in the list: the default
    QCOMPARE(f.list.currentIndex().row(), 3);
    QTest::keyClick(&f.list, 'r'); // would search "r..." and move
    QCOMPARE(f.rows.chars, QList<int>({'r'}));
    QCOMPARE(f.list.currentIndex().row(), 3);
    QTest::keyClick(&f.list, Qt::Key_F1);
    QCOMPARE(f.rows.keys, QList<int>({VK_DOWN, VK_F1}));
}

void TestListCtrlEx::tooltipsPerCell()
{
    Fixture f;
    f.list.SetTipCallback(Tip);
    QVERIFY(QTest::qWaitForWindowExposed(&f.list));
    const auto ask = [&](int row, int column) {
        const QPoint at = f.Cell(row, column).center();
        QHelpEvent help(QEvent::ToolTip, at, f.list.viewport()->mapToGlobal(at));
        QCoreApplication::sendEvent(f.list.viewport(), &help);
    };
    QCOMPARE(f.list.TipHitMask(), LVHT_ONITEMLABEL);
    ask(1, 2);
    QTRY_VERIFY(QToolTip::isVisible());
    QCOMPARE(QToolTip::text(), QStringLiteral("tip 1 2"));
    ask(2, 0); // the owner gives no text for this row
    QTRY_VERIFY(!QToolTip::isVisible());
    f.list.SetTipHitMask(LVHT_ONITEMICON);
    ask(1, 2);
    QVERIFY(!QToolTip::isVisible());

    // A long tip is wrapped at 600 pixels of the tooltip font.
    const QString words = QStringLiteral("word ").repeated(200).trimmed();
    const QString wrapped = WrapToolTipText(words);
    const QStringList lines = wrapped.split(QLatin1Char('\n'));
    QVERIFY(lines.size() > 1);
    const QFontMetrics fm(QToolTip::font());
    for (const QString &line : lines)
        QVERIFY(fm.horizontalAdvance(line) <= TOOLTIP_MAX_WIDTH);
    QCOMPARE(lines.join(QLatin1Char(' ')), words);
}

void TestListCtrlEx::dragAndDrop()
{
    Fixture f;
    f.list.SetDragCallback(Drag);
    f.list.SetDropCallback(Dropped);
    QCOMPARE(f.list.BuildDragData(0, 0), nullptr); // the owner offers no file
    f.rows.dragPath = QByteArray("/tmp/\x8Elu\x9D/program.prg");
    std::unique_ptr<QMimeData> data(f.list.BuildDragData(1, 0));
    QVERIFY(data);
    QCOMPARE(data->urls(), QList<QUrl>({QUrl::fromLocalFile(QString::fromUtf8("/tmp/Žluť/program.prg"))}));

    QVERIFY(QTest::qWaitForWindowExposed(&f.list));
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/a.txt"))});
    QDragEnterEvent enter(f.Cell(3, 2).center(), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(f.list.viewport(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(f.Cell(3, 2).center()), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(f.list.viewport(), &drop);
    QCOMPARE(f.rows.dropped, &files);
    QCOMPARE(f.rows.dropAt, QList<int>({3, 2}));
    const QPoint outside(f.Cell(0, 2).right() + 10, 5); // right of the last column
    QDragEnterEvent again(outside, Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(f.list.viewport(), &again);
    QDropEvent beside(QPointF(outside), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(f.list.viewport(), &beside);
    QCOMPARE(f.rows.dropAt, QList<int>({-1, -1}));
}

QTEST_MAIN(TestListCtrlEx)
#include "tst_listctrlex.moc"
