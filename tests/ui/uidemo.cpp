// A dialog with each kind of control the framework builds, bound to
// variables, for looking at the controls under a real display server. The
// optional argument closes it after that many milliseconds.

#include "ccolorpickercb.h"
#include "dlgctabctrl.h"
#include "listctrlex.h"
#include "mycdialog.h"

#include "codepage.h"
#include "controlmessages.h"
#include "syscolors.h"

#include <QApplication>
#include <QPainter>
#include <QTimer>
#include <QTreeWidget>

#include <cstring>

namespace {

constexpr int kDemo = 990;
constexpr int kPage = 991;

void RegisterTemplates()
{
    DialogTemplate d;
    d.id = kDemo;
    d.caption = QStringLiteral("Ovládací prvky");
    d.cx = 500;
    d.cy = 330;
    const uint32_t tab = StyleTabStop;
    d.controls = {
        {-1, ControlKind::GroupBox, QStringLiteral("Texty"), 5, 2, 160, 110, 0},
        {-1, ControlKind::Label, QStringLiteral("Název tlačítka "), 12, 16, 60, 8, StyleNoWrap},
        {100, ControlKind::Edit, {}, 75, 14, 85, 12, StyleGroup | tab},
        {-1, ControlKind::Label, QStringLiteral("Číslo 10..99"), 12, 32, 60, 8, StyleNoWrap},
        {101, ControlKind::Edit, {}, 75, 30, 85, 12, tab},
        {-1, ControlKind::Label, QStringLiteral("Datum"), 12, 48, 60, 8, StyleNoWrap},
        {102, ControlKind::Edit, {}, 75, 46, 85, 12, tab},
        {-1, ControlKind::Label, QStringLiteral("Adresář"), 12, 64, 60, 8, StyleNoWrap},
        {103, ControlKind::Edit, {}, 75, 62, 85, 12, tab | StyleReadOnly},
        {-1, ControlKind::Label, QStringLiteral("IP adresa"), 12, 80, 60, 8, StyleNoWrap},
        {104, ControlKind::IpAddress, {}, 75, 78, 85, 12, tab},
        {-1, ControlKind::Label, QStringLiteral("Datum (výběr)"), 12, 96, 60, 8, StyleNoWrap},
        {105, ControlKind::DatePicker, {}, 75, 94, 85, 12, tab},

        {-1, ControlKind::GroupBox, QStringLiteral("Seznamy"), 170, 2, 160, 110, 0},
        {-1, ControlKind::Label, QStringLiteral("Jazyk (language) "), 177, 16, 65, 8, StyleNoWrap},
        {110, ControlKind::ComboList, QString::fromUtf8("Česky\nEnglish"), 245, 14, 80, 40, tab},
        {-1, ControlKind::Label, QStringLiteral("Port"), 177, 32, 65, 8, StyleNoWrap},
        {111, ControlKind::ComboBox, QStringLiteral("700\n701\n8080"), 245, 30, 80, 60, tab},
        {-1, ControlKind::Label, QStringLiteral("Barva tlačítka"), 177, 48, 65, 8, StyleNoWrap},
        {2238, ControlKind::ComboList, {}, 177, 58, 148, 120, tab | StyleSorted | StyleOwnerDraw | StyleVScroll},
        {2239, ControlKind::ComboList, {}, 177, 76, 148, 120, tab | StyleSorted | StyleOwnerDraw | StyleDisabled},
        {120, ControlKind::Trackbar, {}, 175, 94, 150, 15, tab | StyleAutoTicks},

        {-1, ControlKind::GroupBox, QStringLiteral("Tlačítka programů"), 335, 2, 160, 110, 0},
        {130, ControlKind::RadioButton, QStringLiteral("40 (5x8)"), 342, 14, 70, 10, StyleGroup | tab},
        {131, ControlKind::RadioButton, QStringLiteral("40 (10x4)"), 342, 26, 70, 10, 0},
        {132, ControlKind::RadioButton, QStringLiteral("30 (5x6)"), 342, 38, 70, 10, 0},
        {140, ControlKind::CheckBox, QStringLiteral("Víceřádkový text"), 415, 14, 75, 10, StyleGroup | tab},
        {141, ControlKind::ThreeState, QStringLiteral("Tři stavy"), 415, 26, 75, 10, tab},
        {142, ControlKind::CheckBox, QStringLiteral("Zakázáno"), 415, 38, 75, 10, tab | StyleDisabled},
        {-1, ControlKind::Label, QStringLiteral("Počet tlačítek programů\n(počet v řádku x počet řádků)"), 342, 54, 145, 18, 0},
        {143, ControlKind::PushButton, QStringLiteral("..."), 342, 78, 20, 14, tab},
        {-1, ControlKind::Line, {}, 368, 76, 2, 30, 0},
        {144, ControlKind::Edit, QStringLiteral("řádek 1\nřádek 2"), 375, 76, 115, 30, tab | StyleMultiline},

        {150, ControlKind::ListView, {}, 5, 118, 245, 100, tab | StyleSingleSel | StyleOwnerData},
        {151, ControlKind::TreeView, {}, 255, 118, 75, 100, tab | StyleHasLines | StyleHasButtons | StyleLinesAtRoot},
        {2105, ControlKind::TabControl, {}, 335, 118, 160, 100, tab},
        {-1, ControlKind::Label, QStringLiteral("Stav: připraveno"), 5, 225, 200, 11, StyleSunken | StyleNoWrap},

        {1, ControlKind::DefPushButton, QStringLiteral("OK"), 385, 310, 50, 14, StyleGroup | tab},
        {2, ControlKind::PushButton, QStringLiteral("Zpět"), 440, 310, 50, 14, tab},
    };
    DialogTemplate::Register(d);

    DialogTemplate p;
    p.id = kPage;
    p.style = 0;
    p.cx = 150;
    p.cy = 80;
    p.controls = {
        {200, ControlKind::CheckBox, {}, 5, 5, 10, 10, StyleGroup | tab},
        {201, ControlKind::Edit, {}, 18, 4, 80, 12, tab},
        {202, ControlKind::PushButton, QStringLiteral("v"), 100, 4, 14, 12, tab},
        {203, ControlKind::CheckBox, {}, 118, 5, 10, 10, tab},
        {2240, ControlKind::ComboList, {}, 5, 22, 120, 120, tab | StyleSorted | StyleOwnerDraw},
    };
    DialogTemplate::Register(p);
}

class DemoPage : public MyCDialog {
public:
    explicit DemoPage(const char *name) : MyCDialog(kPage) { std::strncpy(m_name, name, sizeof m_name - 1); }

protected:
    bool OnInitDialog() override
    {
        MyCDialog::OnInitDialog();
        auto *picker = DlgItem<CColorPickerCB>(2240);
        picker->FillColours();
        picker->SelectColour(0);
        BindCheck(200, &m_enable);
        BindText(201, m_name, sizeof m_name);
        BindComboData(2240, &m_colour);
        UpdateControls();
        return true;
    }
    QWidget *CreateControl(const DialogControl &c, QWidget *parent) override
    {
        return c.id == 2240 ? new CColorPickerCB(parent) : nullptr;
    }
    void OnChange(int) override { EnableRange(201, 2240, m_enable != 0); }

private:
    uint8_t m_enable = 1;
    char m_name[40] = "";
    uint32_t m_colour = 0x00D7FF; // gold
};

class DemoDialog : public MyCDialog {
public:
    DemoDialog() : MyCDialog(kDemo) {}

protected:
    bool OnInitDialog() override
    {
        MyCDialog::OnInitDialog();
        SetEnterMovesFocus();
        for (int id : {2238, 2239}) {
            auto *picker = DlgItem<CColorPickerCB>(id);
            picker->FillColours();
            picker->SelectColour(0);
        }
        Utf16ToAnsi(QString::fromUtf8("Ranní program"), m_name, sizeof m_name);
        BindText(100, m_name, sizeof m_name);
        BindInt(101, &m_number, 10, 99);
        BindDate(102, &m_date);
        BindText(103, m_path, sizeof m_path);
        BindIpAddress(104, &m_address);
        BindDatePicker(105, &m_picked);
        BindComboIndex(110, &m_lang);
        BindComboEditText(111, m_port, sizeof m_port);
        BindComboData(2238, &m_colour);
        BindComboData(2239, &m_disabledColour);
        BindRadioGroup(130, &m_layout);
        BindCheck(140, &m_multi);
        BindCheck(141, &m_three);

        auto *list = DlgItem<ListCtrlEx>(150);
        list->SetExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
        list->InsertColumn(0, QString::fromUtf8("Název programu"), LVCFMT_LEFT, 110);
        list->InsertColumn(1, QStringLiteral("Datum"), LVCFMT_LEFT, 100);
        list->InsertColumn(2, QStringLiteral("Popis"), LVCFMT_LEFT, 160);
        list->SetImageList({Triangle(true), Triangle(false)});
        list->SetCallbacks(this, 12, &DemoDialog::Cell, &DemoDialog::CellStyle);
        list->SetSortImage(1, 0);
        list->SetItemState(2, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);

        auto *tree = DlgItem<QTreeWidget>(151);
        auto *root = new QTreeWidgetItem(tree, {QStringLiteral("programs")});
        auto *beta = new QTreeWidgetItem(root, {QStringLiteral("Beta")});
        new QTreeWidgetItem(root, {QStringLiteral("Alpha")});
        new QTreeWidgetItem(beta, {QStringLiteral("Gamma")});
        tree->expandAll();
        tree->setCurrentItem(root);

        auto *tabs = DlgItem<DlgCTabCtrl>(2105);
        tabs->AddPage(QStringLiteral("PC 1"), &m_page1, kPage, true, false);
        tabs->AddPage(QStringLiteral("PC 2"), &m_page2, kPage, true, true);

        UpdateControls();
        return true;
    }
    QWidget *CreateControl(const DialogControl &c, QWidget *parent) override
    {
        switch (c.id) {
        case 2238:
        case 2239: return new CColorPickerCB(parent);
        case 150: return new ListCtrlEx(parent);
        case 2105: return new DlgCTabCtrl(parent);
        default: return nullptr;
        }
    }

private:
    static QIcon Triangle(bool up)
    {
        QPixmap pixmap(16, 16);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.setBrush(Qt::black);
        p.setPen(Qt::NoPen);
        const QPolygonF shape = up ? QPolygonF({{4, 11}, {12, 11}, {8, 5}}) : QPolygonF({{4, 5}, {12, 5}, {8, 11}});
        p.drawPolygon(shape);
        return QIcon(pixmap);
    }
    static void Cell(void *, ListDispInfo *info)
    {
        QString text;
        switch (info->subItem) {
        case 0: text = QStringLiteral("Program %1").arg(info->item + 1); break;
        case 1: text = QStringLiteral("%1.01.2017 14:05").arg(info->item + 1, 2, 10, QLatin1Char('0')); break;
        default: text = info->item % 4 == 3 ? QStringLiteral("75 %") : QString::fromUtf8("Popis programu č. %1").arg(info->item + 1);
        }
        const qsizetype n = std::min<qsizetype>(text.size(), info->textMax - 1);
        std::copy_n(reinterpret_cast<const char16_t *>(text.utf16()), n, info->text);
        if (info->mask & LVIF_IMAGE)
            info->image = info->item % 2;
    }
    static void CellStyle(void *, int item, int subItem, uint32_t *text, uint32_t *back, uint32_t *style)
    {
        if (subItem == 2 && item % 4 == 3) {
            *back = MakeColorRef(120, 200, 120);
            *style = CellProgress(3, 4);
        } else if (subItem == 0 && item % 4 == 1) {
            *style = CELL_BOLD;
            *text = MakeColorRef(160, 0, 0);
        } else if (subItem == 1 && item % 4 == 2) {
            *style = CELL_ITALIC;
            *back = MakeColorRef(255, 250, 205);
        }
    }

    char m_name[40] = "";
    int32_t m_number = 42;
    DDX_Date m_date{17, 5, 1997};
    char m_path[260] = "/srv/programs";
    uint32_t m_address = 0xC0A80A14;
    DDX_Date m_picked{24, 12, 2016};
    int32_t m_lang = 0;
    char m_port[36] = "700,701";
    uint32_t m_colour = 0x2FFFAD; // GreenYellow
    uint32_t m_disabledColour = 0x0000FF;
    int8_t m_layout = 1;
    uint8_t m_multi = 1;
    uint8_t m_three = 2;
    DemoPage m_page1{"PC 1 program"};
    DemoPage m_page2{"PC 2 program"};
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("Plaxon"));
    RegisterTemplates();
    DemoDialog dialog;
    if (argc > 1)
        QTimer::singleShot(QByteArray(argv[1]).toInt(), &dialog, [&dialog] { dialog.done(IDCANCEL); });
    // "popup": the colour list dropped; "tab2": the second page chosen.
    const QByteArray show = argc > 2 ? QByteArray(argv[2]) : QByteArray();
    QTimer::singleShot(500, &dialog, [&dialog, show] {
        if (show == "popup")
            dialog.DlgItem<CColorPickerCB>(2238)->showPopup();
        else if (show == "tab2")
            dialog.DlgItem<DlgCTabCtrl>(2105)->setCurrentIndex(1);
    });
    return dialog.DoModal() == -1 ? 1 : 0;
}
