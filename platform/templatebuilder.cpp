#include "templatebuilder.h"

#include "controlmessages.h"
#include "dialogcheckbox.h"
#include "dialoggroupbox.h"
#include "dialogunits.h"
#include "trackbartip.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDateEdit>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QSlider>
#include <QTabBar>
#include <QTableView>
#include <QTextEdit>
#include <QTreeWidget>

#include <algorithm>

namespace {

Qt::Alignment HorizontalAlignment(const DialogControl &c)
{
    if (c.Has(StyleCenter))
        return Qt::AlignHCenter;
    if (c.Has(StyleRight))
        return Qt::AlignRight;
    return Qt::AlignLeft;
}

QWidget *CreateEdit(const DialogControl &c, QWidget *parent)
{
    if (c.Has(StyleMultiline)) {
        auto *edit = new QPlainTextEdit(parent);
        edit->setPlainText(c.text);
        edit->setVerticalScrollBarPolicy(c.Has(StyleVScroll) ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAsNeeded);
        edit->setTabChangesFocus(true);
        return edit;
    }
    auto *edit = new QLineEdit(c.text, parent);
    edit->setAlignment(HorizontalAlignment(c) | Qt::AlignVCenter);
    if (c.Has(StylePassword))
        edit->setEchoMode(QLineEdit::Password);
    if (c.Has(StyleNumber))
        edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
    return edit;
}

QWidget *CreateCombo(const DialogControl &c, QWidget *parent)
{
    auto *combo = new QComboBox(parent);
    if (c.kind == ControlKind::ComboBox) {
        combo->setEditable(true);
        // The platform's combo neither adds typed texts to its list nor
        // completes them.
        combo->setInsertPolicy(QComboBox::NoInsert);
        combo->setCompleter(nullptr);
    }
    SetComboSorted(combo, c.Has(StyleSorted));
    if (!c.text.isEmpty())
        for (const QString &item : c.text.split(QLatin1Char('\n')))
            ComboAddString(combo, item);
    combo->setCurrentIndex(-1);
    return combo;
}

QWidget *CreateDatePicker(QWidget *parent)
{
    auto *picker = new QDateEdit(parent);
    picker->setCalendarPopup(true);
    picker->setDisplayFormat(QStringLiteral("d.M.yyyy"));
    // One day below the picker's range stands for "no date" and shows empty.
    picker->setDateRange(QDate(1752, 9, 13), QDate(9999, 12, 31));
    picker->setSpecialValueText(QStringLiteral(" "));
    picker->setDate(QDate::currentDate());
    return picker;
}

QWidget *CreateButton(const DialogControl &c, QWidget *parent)
{
    return new QPushButton(c.Has(StyleIcon) ? QString() : c.text, parent);
}

QWidget *CreateCheckBox(const DialogControl &c, QWidget *parent)
{
    auto *box = new DialogCheckBox(c.text, parent);
    box->setTristate(c.kind == ControlKind::ThreeState);
    return box;
}

QWidget *CreateLabel(const DialogControl &c, QWidget *parent)
{
    auto *label = new QLabel(c.text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(HorizontalAlignment(c) | Qt::AlignTop);
    label->setWordWrap(!c.Has(StyleNoWrap));
    if (c.Has(StyleSunken))
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    return label;
}

QWidget *CreateIcon(QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

QWidget *CreateLine(const DialogControl &c, QWidget *parent)
{
    auto *line = new QFrame(parent);
    line->setFrameShape(c.cy > c.cx ? QFrame::VLine : QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

QWidget *CreateRichEdit(const DialogControl &c, QWidget *parent)
{
    auto *edit = new QTextEdit(parent);
    edit->setVerticalScrollBarPolicy(c.Has(StyleVScroll) ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAsNeeded);
    edit->setTabChangesFocus(true);
    return edit;
}

QWidget *CreateTreeView(const DialogControl &c, QWidget *parent)
{
    auto *tree = new QTreeWidget(parent);
    tree->setHeaderHidden(true);
    // The one column is as wide as its widest label, not the view: deep
    // or long folder names scroll sideways instead of vanishing.
    tree->header()->setStretchLastSection(false);
    tree->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    tree->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    tree->setRootIsDecorated(c.Has(StyleLinesAtRoot) || c.Has(StyleHasButtons));
    tree->setDragEnabled(!c.Has(StyleNoDrag));
    return tree;
}

QWidget *CreateListView(const DialogControl &c, QWidget *parent)
{
    auto *list = new QTableView(parent);
    list->verticalHeader()->hide();
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode(c.Has(StyleSingleSel) ? QAbstractItemView::SingleSelection
                                                 : QAbstractItemView::ExtendedSelection);
    return list;
}

QWidget *CreateTrackbar(const DialogControl &c, QWidget *parent)
{
    auto *slider = new QSlider(c.Has(StyleVertical) ? Qt::Vertical : Qt::Horizontal, parent);
    slider->setRange(0, 100);
    slider->setPageStep(20);
    if (c.Has(StyleAutoTicks)) {
        slider->setTickPosition(QSlider::TicksBelow);
        slider->setTickInterval(10);
    }
    if (c.Has(StyleToolTips))
        new TrackbarTip(slider);
    return slider;
}

QWidget *CreateIpAddress(QWidget *parent)
{
    auto *edit = new QLineEdit(parent);
    edit->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("\\d{0,3}(\\.\\d{0,3}){0,3}")), edit));
    return edit;
}

} // namespace

QWidget *TemplateBuilder::CreateWidget(const DialogControl &c, QWidget *parent)
{
    switch (c.kind) {
    case ControlKind::PushButton:
    case ControlKind::DefPushButton:
    case ControlKind::OwnerButton:
        return CreateButton(c, parent);
    case ControlKind::CheckBox:
    case ControlKind::ThreeState:
        return CreateCheckBox(c, parent);
    case ControlKind::RadioButton:
        return new QRadioButton(c.text, parent);
    case ControlKind::GroupBox:
        return new DialogGroupBox(c.text, parent);
    case ControlKind::Label:
        return CreateLabel(c, parent);
    case ControlKind::Icon:
        return CreateIcon(parent);
    case ControlKind::Line:
        return CreateLine(c, parent);
    case ControlKind::Edit:
        return CreateEdit(c, parent);
    case ControlKind::RichEdit:
        return CreateRichEdit(c, parent);
    case ControlKind::ComboBox:
    case ControlKind::ComboList:
        return CreateCombo(c, parent);
    case ControlKind::TreeView:
        return CreateTreeView(c, parent);
    case ControlKind::ListView:
        return CreateListView(c, parent);
    case ControlKind::TabControl:
        return new QTabBar(parent);
    case ControlKind::Trackbar:
        return CreateTrackbar(c, parent);
    case ControlKind::DatePicker:
        return CreateDatePicker(parent);
    case ControlKind::IpAddress:
        return CreateIpAddress(parent);
    }
    return new QWidget(parent);
}

QList<QWidget *> TemplateBuilder::Build(const DialogTemplate &tmpl, QWidget *dialog, const Factory &factory,
                                        const NotifyRouter::Sink &sink)
{
    QFont font(tmpl.fontFace);
    font.setPointSize(tmpl.fontPoints);
    dialog->setFont(font);
    const DialogUnits du(dialog->font());
    const QSize client(du.X(tmpl.cx), du.Y(tmpl.cy));
    if (tmpl.style & DialogPopup)
        dialog->setFixedSize(client);
    else
        dialog->resize(client);
    if (tmpl.style & DialogCaption)
        dialog->setWindowTitle(tmpl.caption);

    QList<QWidget *> built;
    built.reserve(qsizetype(tmpl.controls.size()));
    QButtonGroup *radios = nullptr;
    QWidget *previousTabStop = nullptr;
    for (const DialogControl &c : tmpl.controls) {
        QWidget *w = factory ? factory(c, dialog) : nullptr;
        if (!w)
            w = CreateWidget(c, dialog);
        if (w->parentWidget() != dialog)
            w->setParent(dialog);
        w->setProperty(IdProperty, c.id);
        if (auto *button = qobject_cast<QPushButton *>(w)) {
            // Only the template makes a default button. Qt's auto-default
            // would let a focused button click itself on Enter, and would let
            // the dialog pick the first button as its default.
            button->setAutoDefault(false);
            button->setDefault(c.kind == ControlKind::DefPushButton);
        }

        QRect r = du.Rect(c.x, c.y, c.cx, c.cy);
        if (auto *combo = qobject_cast<QComboBox *>(w)) {
            // A combo box's template height is that of the box and its
            // dropped list; the closed box is as high as its font makes it,
            // and the list gets the rest, in every style.
            r.setHeight(combo->sizeHint().height());
            combo->setStyleSheet(QStringLiteral("QComboBox { combobox-popup: 0; }"));
            const int rowHeight = std::max(1, combo->fontMetrics().height() + 4);
            combo->setMaxVisibleItems(std::max(1, (du.Y(c.cy) - r.height()) / rowHeight));
        }
        w->setGeometry(r);

        if (c.Has(StyleGroup))
            radios = nullptr;
        if (auto *radio = qobject_cast<QRadioButton *>(w)) {
            if (!radios) {
                radios = new QButtonGroup(radio);
                radios->setExclusive(true);
            }
            radios->addButton(radio);
        }

        if (w->focusPolicy() != Qt::NoFocus || c.Has(StyleTabStop))
            w->setFocusPolicy(c.Has(StyleTabStop) ? Qt::StrongFocus : Qt::ClickFocus);
        if (c.Has(StyleTabStop)) {
            if (previousTabStop)
                QWidget::setTabOrder(previousTabStop, w);
            previousTabStop = w;
        }
        if (c.Has(StyleReadOnly))
            SetControlReadOnly(w, true);
        if (c.Has(StyleDisabled))
            w->setEnabled(false);
        w->setVisible(!c.Has(StyleHidden));

        if (sink)
            new NotifyRouter(w, c.id, sink);
        built.append(w);
    }
    return built;
}

int TemplateBuilder::ControlId(const QWidget *widget)
{
    return widget ? widget->property(IdProperty).toInt() : 0;
}
