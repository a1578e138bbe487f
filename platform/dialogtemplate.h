#pragma once

// Dialog templates as data: one table per template, its controls in the
// template's window order (which is also the creation order and the tab
// order). Positions and sizes are in dialog units of the template's font.

#include <QString>

#include <cstdint>
#include <vector>

enum class ControlKind {
    PushButton,    // the caption, or an image set later (StyleIcon)
    DefPushButton, // the dialog's default button
    OwnerButton,   // a push button drawn by its owner
    CheckBox,      // automatic, two states
    ThreeState,    // automatic, three states
    RadioButton,   // automatic; exclusive within its group
    GroupBox,
    Label,         // static text; wraps unless StyleNoWrap
    Icon,          // static image
    Line,          // etched divider, vertical when taller than wide
    Edit,          // single line, or multi-line with StyleMultiline
    RichEdit,      // formatted text, read-only when StyleReadOnly
    ComboBox,      // drop-down with an edit field
    ComboList,     // drop-down list
    TreeView,
    ListView,      // report view
    TabControl,
    Trackbar,      // range 0..100
    DatePicker,
    IpAddress,     // dotted IPv4 address
};

// Styles of a control in a template.
enum ControlStyle : uint32_t {
    StyleGroup = 1u << 0,       // starts a group (radio exclusivity, group walks)
    StyleTabStop = 1u << 1,     // reached with the Tab key
    StyleHidden = 1u << 2,
    StyleDisabled = 1u << 3,
    StyleReadOnly = 1u << 4,
    StyleMultiline = 1u << 5,
    StyleVScroll = 1u << 6,
    StyleHScroll = 1u << 7,
    StyleSorted = 1u << 8,      // combo: items are inserted in sorted order
    StyleOwnerDraw = 1u << 9,   // combo: items drawn by the control's class
    StyleCenter = 1u << 10,
    StyleRight = 1u << 11,
    StyleNoWrap = 1u << 12,     // label: one line
    StylePassword = 1u << 13,
    StyleNumber = 1u << 14,     // edit: digits only
    StyleWantReturn = 1u << 15, // multi-line edit keeps the Enter key
    StyleIcon = 1u << 16,       // button shows an image instead of its caption
    StyleNotify = 1u << 17,     // static reports clicks
    StyleVertical = 1u << 18,   // trackbar
    StyleAutoTicks = 1u << 19,  // trackbar
    StyleToolTips = 1u << 20,   // trackbar shows its value while dragging
    StyleHasLines = 1u << 21,   // tree
    StyleHasButtons = 1u << 22, // tree
    StyleLinesAtRoot = 1u << 23,// tree
    StyleShowSelAlways = 1u << 24,
    StyleSingleSel = 1u << 25,  // list
    StyleOwnerData = 1u << 26,  // list: rows come from the owner
    StyleNoDrag = 1u << 27,     // tree
    StyleSunken = 1u << 28,     // static: sunken frame
};

struct DialogControl {
    int id = -1;            // resource identifier; -1 for controls nobody addresses
    ControlKind kind = ControlKind::Label;
    QString text;           // caption, initial text or list items separated by '\n'
    int x = 0, y = 0, cx = 0, cy = 0;
    uint32_t style = 0;

    bool Has(ControlStyle s) const { return (style & s) != 0; }
};

enum DialogStyle : uint32_t {
    DialogPopup = 1u << 0,   // a top-level window; otherwise a child (a page)
    DialogCaption = 1u << 1,
    DialogSysMenu = 1u << 2,
    DialogVisible = 1u << 3,
};

class DialogTemplate {
public:
    int id = 0;
    QString caption;
    int cx = 0, cy = 0;                 // client size in dialog units
    QString fontFace = QStringLiteral("MS Sans Serif");
    int fontPoints = 8;
    uint32_t style = DialogPopup | DialogCaption | DialogSysMenu;
    std::vector<DialogControl> controls;

    // Index of the first control with this identifier in window order, or -1.
    int IndexOf(int controlId) const;

    // The templates of the program, by identifier. Registering an identifier
    // again replaces the earlier template.
    static void Register(DialogTemplate tmpl);
    static const DialogTemplate *Find(int id);
};
