#include "dialogtemplates_dialogs.h"

#include "dialogtemplate.h"
#include "notifycodes.h"

#include <mutex>

namespace {

constexpr uint32_t kTab = StyleTabStop;

DialogTemplate Settings()
{
    DialogTemplate t;
    t.id = IDD_CONFIG;
    t.caption = QStringLiteral("Nastavení");
    t.cx = 522;
    t.cy = 344;
    t.controls = {
        {-1, ControlKind::Label, QStringLiteral("Jazyk (language) "), 7, 9, 62, 8, StyleNoWrap},
        {IDC_CONFIG_LANG, ControlKind::ComboList, QStringLiteral("Česky\nEnglish"), 70, 7, 80, 40,
         StyleGroup | kTab | StyleVScroll},
        {IDC_CONFIG_BRIGHT, ControlKind::CheckBox, QStringLiteral("Povolit regulaci jasu"), 170, 8, 110, 10, StyleGroup | kTab},

        {-1, ControlKind::GroupBox, QStringLiteral("Tlačítka programů"), 7, 28, 508, 80, 0},
        {-1, ControlKind::Label, QStringLiteral("Počet tlačítek programů\n(počet v řádku x počet řádků)"), 14, 40, 112,
         18, 0},
        {-1, ControlKind::Label, QStringLiteral("Velká tlačítka:"), 14, 73, 100, 8, StyleNoWrap},
        // The stored layout is the position in this order, not the identifier.
        {IDC_LAYOUT_5X8, ControlKind::RadioButton, QStringLiteral("40 (5x8)"), 130, 40, 62, 10, StyleGroup | kTab},
        {IDC_LAYOUT_10X4, ControlKind::RadioButton, QStringLiteral("40 (10x4)"), 130, 55, 62, 10, 0},
        {IDC_LAYOUT_5X6, ControlKind::RadioButton, QStringLiteral("30 (5x6)"), 200, 40, 62, 10, 0},
        {IDC_LAYOUT_10X3, ControlKind::RadioButton, QStringLiteral("30 (10x3)"), 200, 55, 62, 10, 0},
        {IDC_LAYOUT_5X4, ControlKind::RadioButton, QStringLiteral("20 (5x4)"), 270, 40, 62, 10, 0},
        {IDC_LAYOUT_10X2, ControlKind::RadioButton, QStringLiteral("20 (10x2)"), 270, 55, 62, 10, 0},
        {IDC_LAYOUT_5X3, ControlKind::RadioButton, QStringLiteral("15 (5x3)"), 340, 40, 62, 10, 0},
        {IDC_LAYOUT_5X2, ControlKind::RadioButton, QStringLiteral("10 (5x2)"), 410, 40, 62, 10, 0},
        {IDC_LAYOUT_10X1, ControlKind::RadioButton, QStringLiteral("10 (10x1)"), 410, 55, 62, 10, 0},
        {IDC_LAYOUT_BIG_5X8, ControlKind::RadioButton, QStringLiteral("40 (5x8)"), 130, 72, 62, 10, 0},
        {IDC_LAYOUT_BIG_5X6, ControlKind::RadioButton, QStringLiteral("30 (5x6)"), 200, 72, 62, 10, 0},
        {IDC_LAYOUT_BIG_5X4, ControlKind::RadioButton, QStringLiteral("20 (5x4)"), 270, 72, 62, 10, 0},
        {IDC_LAYOUT_BIG_5X3, ControlKind::RadioButton, QStringLiteral("15 (5x3)"), 340, 72, 62, 10, 0},
        {IDC_LAYOUT_BIG_5X2, ControlKind::RadioButton, QStringLiteral("10 (5x2)"), 410, 72, 62, 10, 0},
        {IDC_CONFIG_MULTILINE, ControlKind::CheckBox, QStringLiteral("Víceřádkový text"), 14, 91, 100, 10, StyleGroup | kTab},
    };
    for (int n = 1; n <= 4; ++n) {
        const int gx = n % 2 == 1 ? 7 : 265;
        const int gy = n <= 2 ? 112 : 183;
        const std::vector<DialogControl> group = {
            {-1, ControlKind::GroupBox, QStringLiteral(" PC %1 ").arg(n), gx, gy, 250, 67, 0},
            // Station 1 always takes part: its box exists but is never shown.
            {IDC_STATION_ENABLE + n, ControlKind::CheckBox, {}, gx + 7, gy + 23, 10, 10,
             StyleGroup | kTab | (n == 1 ? StyleHidden : 0u)},
            // The enabling rule walks from the address edit to the clear button.
            {IDC_STATION_ADDRESS + n, ControlKind::Edit, {}, gx + 20, gy + 21, 140, 12, StyleGroup | kTab},
            {-1, ControlKind::Label, QStringLiteral("Síťová adresa "), gx + 20, gy + 11, 100, 8, StyleNoWrap},
            {-1, ControlKind::Label, QStringLiteral("Soket"), gx + 166, gy + 23, 22, 8, StyleNoWrap},
            {IDC_STATION_SOCKET + n, ControlKind::Edit, {}, gx + 190, gy + 21, 53, 12, kTab},
            {-1, ControlKind::Label, QStringLiteral("Adresář programů"), gx + 20, gy + 37, 100, 8, StyleNoWrap},
            {IDC_STATION_PATH + n, ControlKind::Edit, {}, gx + 20, gy + 47, 186, 12, kTab | StyleReadOnly},
            {IDC_STATION_CHOOSE + n, ControlKind::PushButton, {}, gx + 210, gy + 46, 15, 15, kTab | StyleIcon},
            {IDC_STATION_CLEAR + n, ControlKind::PushButton, {}, gx + 228, gy + 46, 15, 15, kTab | StyleIcon},
        };
        t.controls.insert(t.controls.end(), group.begin(), group.end());
    }
    const std::vector<DialogControl> tail = {
        {IDOK, ControlKind::DefPushButton, QStringLiteral("OK"), 465, 7, 50, 14, StyleGroup | kTab},
        // An icon static names its icon resource, as the template does.
        {-1, ControlKind::Icon, QString::number(IDI_HELP), 7, 267, 20, 20, 0},
        {IDC_CONFIG_HELP, ControlKind::RichEdit, {}, 30, 267, 485, 70,
         kTab | StyleReadOnly | StyleMultiline | StyleVScroll},
    };
    t.controls.insert(t.controls.end(), tail.begin(), tail.end());
    return t;
}

DialogTemplate Editor()
{
    DialogTemplate t;
    t.id = IDD_EDIT_MAIN;
    t.caption = QStringLiteral("Program");
    t.cx = 842;
    t.cy = 366;
    t.controls = {
        {IDC_EDIT_TABS, ControlKind::TabControl, {}, 0, 0, 840, 340, kTab},
        {IDOK, ControlKind::DefPushButton, QStringLiteral("OK"), 396, 346, 50, 14, StyleGroup | kTab},
    };
    return t;
}

DialogTemplate EditorPage()
{
    DialogTemplate t;
    t.id = IDD_EDIT_PAGE;
    t.style = 0; // a child dialog without the visible style: the tab host shows it
    t.cx = 835;
    t.cy = 322;
    for (int column = 0; column < 2; ++column) {
        const int x0 = column == 0 ? 4 : 421;
        if (column == 1)
            t.controls.push_back({-1, ControlKind::Line, {}, 417, 2, 1, 316, 0});
        const std::vector<DialogControl> header = {
            {-1, ControlKind::Label, QStringLiteral("Povolit"), x0, 3, 22, 8, StyleNoWrap},
            {-1, ControlKind::Label, QStringLiteral("Název tlačítka "), x0 + 22, 3, 100, 8, StyleNoWrap},
            {-1, ControlKind::Label, QStringLiteral("Program "), x0 + 171, 3, 60, 8, StyleNoWrap},
            {-1, ControlKind::Label, QStringLiteral("Vložit"), x0 + 290, 3, 20, 8, StyleNoWrap},
            {-1, ControlKind::Label, QStringLiteral("Barva tlačítka"), x0 + 310, 3, 80, 8, StyleNoWrap},
        };
        t.controls.insert(t.controls.end(), header.begin(), header.end());
        for (int r = 0; r < 20; ++r) {
            const int k = column * 20 + r + 1;
            const int y = 14 + 15 * r;
            // Within a row the caption comes first and the inline box last:
            // the enabling rule walks from one to the other.
            const std::vector<DialogControl> row = {
                {IDC_PAGE_ENABLE + k, ControlKind::CheckBox, {}, x0 + 6, y + 1, 10, 10, StyleGroup | kTab},
                {IDC_PAGE_NAME + k, ControlKind::Edit, {}, x0 + 22, y, 146, 12, kTab},
                {IDC_PAGE_PROGRAM + k, ControlKind::Edit, {}, x0 + 171, y, 105, 12, kTab},
                {IDC_PAGE_BROWSE + k, ControlKind::PushButton, {}, x0 + 277, y, 14, 12, kTab | StyleIcon},
                {IDC_PAGE_COLOUR + k, ControlKind::ComboList, {}, x0 + 310, y, 100, 120,
                 kTab | StyleSorted | StyleOwnerDraw | StyleVScroll},
                {IDC_PAGE_INLINE + k, ControlKind::CheckBox, {}, x0 + 295, y + 1, 10, 10, kTab},
            };
            t.controls.insert(t.controls.end(), row.begin(), row.end());
        }
    }
    return t;
}

DialogTemplate Browser()
{
    DialogTemplate t;
    t.id = IDD_OPEN;
    t.caption = QStringLiteral("Otevřít program");
    t.cx = 477;
    t.cy = 271;
    t.controls = {
        {IDC_OPEN_FOLDERS_LABEL, ControlKind::Label, QStringLiteral("Adresáře"), 7, 6, 95, 8, StyleNoWrap},
        {IDC_OPEN_TREE, ControlKind::TreeView, {}, 7, 16, 95, 230,
         StyleGroup | kTab | StyleHasLines | StyleHasButtons | StyleLinesAtRoot | StyleShowSelAlways | StyleNoDrag},
        {IDC_OPEN_SEARCH_LABEL, ControlKind::Label, QStringLiteral("Hledat"), 107, 6, 28, 8, StyleNoWrap},
        {IDC_OPEN_SEARCH_TEXT, ControlKind::Edit, {}, 137, 4, 130, 12, StyleGroup | kTab},
        {IDC_OPEN_SEARCH, ControlKind::PushButton, {}, 270, 1, 20, 18, kTab | StyleIcon},
        {IDC_OPEN_END_SEARCH, ControlKind::PushButton, {}, 293, 2, 16, 16, kTab | StyleIcon | StyleHidden},
        {IDC_OPEN_LIST, ControlKind::ListView, {}, 107, 22, 365, 220,
         StyleGroup | kTab | StyleSingleSel | StyleShowSelAlways | StyleOwnerData},
        {IDOK, ControlKind::DefPushButton, QStringLiteral("Otevřít"), 7, 251, 60, 14, StyleGroup | kTab},
        {IDC_OPEN_DELETE, ControlKind::PushButton, QStringLiteral("Smazat"), 250, 251, 60, 14, kTab},
        {IDCANCEL, ControlKind::PushButton, QStringLiteral("Zpět"), 412, 251, 60, 14, kTab},
    };
    return t;
}

} // namespace

void RegisterDialogsTemplates()
{
    static std::once_flag once;
    std::call_once(once, [] {
        DialogTemplate::Register(Settings());
        DialogTemplate::Register(Editor());
        DialogTemplate::Register(EditorPage());
        DialogTemplate::Register(Browser());
    });
}
