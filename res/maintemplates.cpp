#include "maintemplates.h"

#include "dialogtemplate.h"

namespace {

// Where one template puts its controls, in dialog units.
struct MainGeometry {
    int id, cx, cy;
    int groupWidth;
    int nameWidth;      // 2202
    int editorX;        // 2213
    int playX, pauseX, stopX;
    int brightX;        // 2235
    int checkX[4];      // 1901..1904
    int iconX;          // 2017
    int sliderX;        // 2209
    int setX;           // 2206
    int linkX, linkY, linkW; // 2108
    int settingsX, settingsY; // 2203
    bool settingsAfterStop;   // 2203 follows 2100 in the control order
    int columns, rows;
    int buttonX[10];
    int buttonTop, buttonW, buttonH;
};

const MainGeometry kGeometry[] = {
    {IDD_PLAXON_5X8, 427, 290, 155, 70, 135, 165, 191, 215, 240, {246, 275, 305, 340}, 246, 260, 360,
     395, 1, 20, 395, 25, false, 5, 8, {10, 90, 170, 250, 330}, 50, 65, 20},
    {IDD_PLAXON_10X4, 802, 166, 170, 85, 150, 185, 211, 235, 325, {331, 360, 390, 425}, 331, 345, 445,
     770, 10, 20, 735, 13, true, 10, 4, {10, 90, 170, 250, 330, 410, 490, 570, 650, 730}, 50, 65, 20},
    {IDD_PLAXON_WIDE, 842, 285, 155, 70, 135, 170, 196, 220, 275, {281, 311, 341, 375}, 281, 295, 395,
     815, 1, 21, 815, 25, false, 5, 8, {5, 175, 345, 515, 681}, 45, 155, 25},
};

DialogTemplate Build(const MainGeometry &g)
{
    DialogTemplate t;
    t.id = g.id;
    t.caption = QStringLiteral("Plaxon");
    t.cx = g.cx;
    t.cy = g.cy;
    auto add = [&t](int id, ControlKind kind, const QString &text, int x, int y, int cx, int cy, uint32_t style) {
        t.controls.push_back({id, kind, text, x, y, cx, cy, style});
    };
    const uint32_t iconButton = StyleIcon | StyleTabStop;
    add(-1, ControlKind::GroupBox, QStringLiteral("Program"), 5, 0, g.groupWidth, 40, StyleGroup);
    add(IDC_LOAD, ControlKind::PushButton, {}, 10, 15, 20, 15, iconButton | StyleGroup);
    add(IDC_SAVE_AS, ControlKind::PushButton, {}, 35, 15, 20, 15, iconButton);
    add(IDC_PROGRAM_NAME, ControlKind::Edit, {}, 60, 15, g.nameWidth, 14, StyleReadOnly | StyleTabStop);
    add(IDC_EDITOR, ControlKind::PushButton, {}, g.editorX, 15, 20, 15, iconButton);
    add(IDC_PLAY, ControlKind::PushButton, {}, g.playX, 15, 20, 15, iconButton);
    add(IDC_PAUSE, ControlKind::PushButton, {}, g.pauseX, 15, 20, 15, iconButton);
    add(IDC_STOP, ControlKind::PushButton, {}, g.stopX, 15, 20, 15, iconButton);
    if (g.settingsAfterStop)
        add(IDC_SETTINGS, ControlKind::PushButton, {}, g.settingsX, g.settingsY, 20, 15, iconButton);
    for (int r = 0; r < g.rows; ++r)
        for (int c = 0; c < g.columns; ++c)
            add(IDC_LAUNCH_FIRST + r * g.columns + c, ControlKind::OwnerButton, {}, g.buttonX[c],
                g.buttonTop + 30 * r, g.buttonW, g.buttonH, StyleTabStop);
    add(IDC_LINK_ICON, ControlKind::Icon, {}, g.linkX, g.linkY, g.linkW, 20, StyleNotify);
    add(IDC_BRIGHT_GROUP, ControlKind::GroupBox, {}, g.brightX, 0, 145, 40, StyleGroup);
    for (int i = 0; i < 4; ++i)
        add(IDC_PC1 + i, ControlKind::CheckBox, QStringLiteral("PC%1").arg(i + 1), g.checkX[i], 10, 29, 10,
            StyleTabStop | (i == 0 ? StyleGroup : 0u));
    add(IDC_BRIGHT_ICON, ControlKind::Icon, {}, g.iconX, 24, 20, 20, 0);
    add(IDC_BRIGHT_SLIDER, ControlKind::Trackbar, {}, g.sliderX, 20, 98, 15, StyleToolTips | StyleTabStop | StyleGroup);
    add(IDC_BRIGHT_SET, ControlKind::PushButton, {}, g.setX, 20, 20, 15, iconButton);
    if (!g.settingsAfterStop)
        add(IDC_SETTINGS, ControlKind::PushButton, {}, g.settingsX, g.settingsY, 20, 15, iconButton);
    return t;
}

} // namespace

void RegisterMainTemplates()
{
    static const bool registered = [] {
        for (const MainGeometry &g : kGeometry)
            DialogTemplate::Register(Build(g));
        return true;
    }();
    (void)registered;
}
