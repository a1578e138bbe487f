#include "editdlg.h"

#include "opendlg.h"

#include "ccolorpickercb.h"
#include "codepage.h"
#include "configmodel.h"
#include "dialogtemplates_dialogs.h"
#include "resourceicons.h"
#include "templatebuilder.h"
#include "tooltip.h"

#include <QHelpEvent>
#include <QPushButton>

#include <array>

namespace {

constexpr int ROWS = BUTTON_COUNT;
constexpr int FIRST_PROGRAM = IDC_PAGE_PROGRAM + 1;
constexpr int FIRST_ENABLE = IDC_PAGE_ENABLE + 1;
constexpr int FIRST_NAME = IDC_PAGE_NAME + 1;
constexpr int FIRST_BROWSE = IDC_PAGE_BROWSE + 1;
constexpr int FIRST_INLINE = IDC_PAGE_INLINE + 1;
constexpr int FIRST_COLOUR = IDC_PAGE_COLOUR + 1;
constexpr int TIPPED_ROWS = 10;

struct TipEntry {
    int id;
    const char *text;
};

// One table per language: (control, text) pairs ended by identifier 0; the
// first pair with the identifier is the text.
using TipTable = std::array<TipEntry, 3 * TIPPED_ROWS + 1>;

TipTable MakeTips(const char *enable, const char *name, const char *program)
{
    TipTable table{};
    int n = 0;
    for (int k = 0; k < TIPPED_ROWS; ++k)
        table[size_t(n++)] = {FIRST_ENABLE + k, enable};
    for (int k = 0; k < TIPPED_ROWS; ++k)
        table[size_t(n++)] = {FIRST_NAME + k, name};
    for (int k = 0; k < TIPPED_ROWS; ++k)
        table[size_t(n++)] = {FIRST_PROGRAM + k, program};
    table[size_t(n)] = {0, nullptr};
    return table;
}

const TipTable &Tips(int lang)
{
    static const TipTable czech = MakeTips(
        "Povoluje toto tlačítko pro rychlé spouštění (Pokud není povoleno tak se nezobrazí)",
        "Název co se objeví na ovládacím tlačítku",
        "Nazev programu co se má spustit. Musí přesně odpovídat názvu programu z lumivant");
    static const TipTable english = MakeTips("Enable button (to be visible)", "Text for control button",
                                             "Name of program (exactly as in lumivant)");
    return lang == 1 ? english : czech;
}

} // namespace

EditDlg::EditDlg() : MyCDialog(IDD_EDIT_PAGE)
{
    RegisterDialogsTemplates();
}

QString EditDlg::ToolTipText(int controlId)
{
    for (const TipEntry &entry : Tips(LangIndex())) {
        if (entry.id == 0)
            break;
        if (entry.id == controlId)
            return QString::fromUtf8(entry.text);
    }
    return QString();
}

QWidget *EditDlg::CreateControl(const DialogControl &control, QWidget *parent)
{
    if (control.id >= FIRST_COLOUR && control.id < FIRST_COLOUR + ROWS)
        return new CColorPickerCB(parent);
    return nullptr;
}

bool EditDlg::OnInitDialog()
{
    MyCDialog::OnInitDialog();
    for (int i = 0; i < ROWS; ++i) {
        if (auto *picker = DlgItem<CColorPickerCB>(FIRST_COLOUR + i)) {
            picker->FillColours();
            picker->SelectColour(0);
        }
    }
    const StationRecord &station = g_Settings.PC[m_station];
    for (int i = 0; i < ROWS; ++i) {
        ButtonRecord &button = g_Buttons.BUTTON[i];
        if (auto *browse = DlgItem<QPushButton>(FIRST_BROWSE + i)) {
            browse->setIcon(ResourceIcon(IDI_ARROW_DOWN));
            browse->setIconSize(QSize(16, 16));
        }
        BindText(FIRST_NAME + i, button.NAME, int(sizeof button.NAME));
        BindText(FIRST_PROGRAM + i, button.PROGRAM[m_station], int(sizeof button.PROGRAM[m_station]));
        BindCheck(FIRST_ENABLE + i, &button.ENABLE);
        BindCheck(FIRST_INLINE + i, &button.INLINE);
        BindComboData(FIRST_COLOUR + i, &button.COLOR);
        if (station.PATH[0] == '\0')
            ShowControl(FIRST_BROWSE + i, false);
    }
    // Every control asks this page for its tooltip.
    for (int c = 0; c < ControlCount(); ++c)
        if (QWidget *w = ControlAt(c))
            w->installEventFilter(this);
    UpdateControls();
    return true;
}

void EditDlg::OnChange(int)
{
    for (int i = 0; i < ROWS; ++i)
        EnableRange(FIRST_NAME + i, FIRST_INLINE + i, g_Buttons.BUTTON[i].ENABLE != 0);
}

void EditDlg::showEvent(QShowEvent *event)
{
    MyCDialog::showEvent(event);
    // Another page may have changed the shared fields.
    UpdateControls();
}

bool EditDlg::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::ToolTip)
        return MyCDialog::eventFilter(watched, event);
    auto *control = qobject_cast<QWidget *>(watched);
    const QString text = control ? ToolTipText(TemplateBuilder::ControlId(control)) : QString();
    if (!text.isEmpty()) {
        const auto *help = static_cast<QHelpEvent *>(event);
        ShowToolTip(help->globalPos(), text, control, QRect());
    }
    return true; // answered or not, the request is handled here
}

bool EditDlg::OnCmdMsg(int code, int id, QWidget *control)
{
    if (code == BN_CLICKED && id >= FIRST_BROWSE && id < FIRST_BROWSE + ROWS) {
        Browse(id - FIRST_BROWSE);
        return true;
    }
    return MyCDialog::OnCmdMsg(code, id, control);
}

void EditDlg::Browse(int button)
{
    OpenDlg browser(window());
    browser.SetRoot(FieldToQString(g_Settings.PC[m_station].PATH));
    if (browser.DoModal() != 1)
        return;
    // The browser refuses names that do not fit; the copy is bounded all the same.
    CopyText(g_Buttons.BUTTON[button].PROGRAM[m_station], QStringToAnsi(browser.ChosenProgram()).constData());
    UpdateControls();
}
