#pragma once

// A report-style list that holds no rows: it knows its item count and asks
// its owner, through callbacks given the owner's context, for each cell's
// text and image while it paints, and for each cell's look (colours, one of
// four derived fonts, or a progress bar). It also shows a sort image in a
// column header, clears its selection, and offers optional hooks for keys,
// dropped files, dragging a file out and per-cell tooltips.

#include <QIcon>
#include <QList>
#include <QTableView>

#include <array>
#include <cstdint>
#include <optional>

class ListCtrlExModel;
class QMimeData;

constexpr unsigned LVIF_TEXT = 0x0001;
constexpr unsigned LVIF_IMAGE = 0x0002;
constexpr int LVCFMT_LEFT = 0x0000;
constexpr int LVCFMT_RIGHT = 0x0001;
constexpr int LVCFMT_CENTER = 0x0002;
constexpr int LVCFMT_JUSTIFYMASK = 0x0003;
constexpr int LVCFMT_IMAGE = 0x0800;
constexpr int LVCFMT_BITMAP_ON_RIGHT = 0x1000;
constexpr uint16_t LVHT_NOWHERE = 0x0001;
constexpr uint16_t LVHT_ONITEMICON = 0x0002;
constexpr uint16_t LVHT_ONITEMLABEL = 0x0004;
constexpr uint16_t LVHT_ONITEMSTATEICON = 0x0008;
constexpr uint16_t LVHT_ONITEM = LVHT_ONITEMICON | LVHT_ONITEMLABEL | LVHT_ONITEMSTATEICON;
constexpr unsigned LVIS_FOCUSED = 0x0001;
constexpr unsigned LVIS_SELECTED = 0x0002;
constexpr unsigned LVNI_ALL = 0x0000;
constexpr unsigned LVNI_FOCUSED = 0x0001;
constexpr unsigned LVNI_SELECTED = 0x0002;
constexpr uint32_t LVS_EX_GRIDLINES = 0x0001;
constexpr uint32_t LVS_EX_FULLROWSELECT = 0x0020;

// Style codes of a cell (bits 0-7 of the cell style); a progress cell takes
// done from bits 16-23 and total from bits 24-31.
constexpr uint32_t CELL_BOLD = 1;
constexpr uint32_t CELL_ITALIC = 2;
constexpr uint32_t CELL_UNDERLINE = 3;
constexpr uint32_t CELL_STRIKEOUT = 4;
constexpr uint32_t CELL_PROGRESS = 200;
constexpr uint32_t CellProgress(unsigned done, unsigned total)
{
    return CELL_PROGRESS | ((done & 0xFFu) << 16) | ((total & 0xFFu) << 24);
}

constexpr int LIST_TEXT_MAX = 260; // the text buffer of a display request

// The item record of a display request.
struct ListDispInfo {
    unsigned mask;     // LVIF_TEXT and/or LVIF_IMAGE: what is asked for
    int item;
    int subItem;
    char16_t *text;    // zeroed buffer of textMax characters
    int textMax;
    int image;         // -1 until the owner sets one
};

using ListDisplayCallback = void (*)(void *context, ListDispInfo *info);
// Colours are platform colour values, pre-set to the window text and window
// colours; the style is pre-set to 0.
using ListCellStyleCallback = void (*)(void *context, int item, int subItem, uint32_t *textColor,
                                       uint32_t *backColor, uint32_t *style);
// The dropped data stands in for the drop handle; item and sub-item are -1
// when the drop point is on no cell.
using ListDropCallback = void (*)(void *context, const QMimeData *drop, int item, int subItem);
// Fills the zeroed 260-character buffer with a file path (code page text);
// true offers that file to the drag.
using ListDragCallback = bool (*)(void *context, int item, int subItem, char *path);
// A null string gives no tip.
using ListTipCallback = QString (*)(void *context, int item, int subItem);
using ListKeyCallback = void (*)(void *context, int code);

class ListCtrlEx : public QTableView {
    Q_OBJECT
public:
    static constexpr int MAX_HOOK_KEYS = 10;

    explicit ListCtrlEx(QWidget *parent = nullptr);

    int InsertColumn(int column, const QString &heading, int format = LVCFMT_LEFT, int width = -1);
    int GetColumnCount() const;
    int ColumnFormat(int column) const;
    void SetExtendedStyle(uint32_t style);
    uint32_t GetExtendedStyle() const { return m_extendedStyle; }
    void SetImageList(const QList<QIcon> &images);
    QIcon ImageAt(int index) const;

    void SetCallbacks(void *context, int itemCount, ListDisplayCallback display, ListCellStyleCallback cellStyle);
    void SetItemCount(int count);
    void SetItemCountKeepScroll(int count);
    int GetItemCount() const;

    int GetSelectedCount() const;
    int GetNextItem(int start, unsigned flags) const;
    void SetItemState(int item, unsigned state, unsigned mask);
    void EnsureVisible(int item);
    void ClearSelection();
    void SetSortImage(int column, int image);
    int SortImage(int column) const;

    void SetDropCallback(ListDropCallback callback);
    void SetDragCallback(ListDragCallback callback);
    void SetTipCallback(ListTipCallback callback);
    void SetTipHitMask(uint16_t mask) { m_tipHitMask = mask; }
    uint16_t TipHitMask() const { return m_tipHitMask; }
    void SetCharHook(void *context, ListKeyCallback callback, const int *codes, int count);
    void SetKeyDownHook(void *context, ListKeyCallback callback, const int *codes, int count);

    // What the owner supplies, as the list's painting asks for it.
    QString CellText(int item, int subItem) const;
    int CellImage(int item) const;
    // The cell's colours and style after the cell-style callback.
    void CellLook(int item, int subItem, uint32_t *textColor, uint32_t *backColor, uint32_t *style) const;
    // The derived font of style code 1..4; the list's font before a
    // cell-style callback was installed.
    QFont StyleFont(uint32_t code) const;
    // Draws a progress cell in the cell rectangle.
    void DrawProgressCell(QPainter *painter, const QRect &cell, const QString &text, uint32_t style,
                          uint32_t textColor, uint32_t backColor, bool selected) const;
    // LVM_SUBITEMHITTEST at a viewport position.
    uint16_t SubItemHitTest(const QPoint &pos, int *item, int *subItem) const;
    // The file-drop data of a drag of this cell, or nullptr.
    QMimeData *BuildDragData(int item, int subItem) const;

    static Qt::Alignment Alignment(int format);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    bool viewportEvent(QEvent *event) override;

private:
    struct KeyHook {
        void *context = nullptr;
        ListKeyCallback callback = nullptr;
        std::array<int, MAX_HOOK_KEYS> codes{};
        int count = 0;
        bool Has(int code) const;
    };

    void ResetCount(int count, bool keepScroll);
    static void SetHook(KeyHook &hook, void *context, ListKeyCallback callback, const int *codes, int count);

    ListCtrlExModel *m_model;
    uint32_t m_extendedStyle = 0;
    QList<QIcon> m_images;
    void *m_context = nullptr;
    ListDisplayCallback m_display = nullptr;
    ListCellStyleCallback m_cellStyle = nullptr;
    std::array<std::optional<QFont>, CELL_STRIKEOUT - CELL_BOLD + 1> m_styleFonts; // one per font style code
    ListDropCallback m_drop = nullptr;
    ListDragCallback m_drag = nullptr;
    ListTipCallback m_tip = nullptr;
    uint16_t m_tipHitMask = LVHT_ONITEMLABEL;
    KeyHook m_charHook;
    KeyHook m_keyDownHook;
};
