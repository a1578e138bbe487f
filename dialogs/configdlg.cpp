#include "configdlg.h"

#include "codepage.h"
#include "configmodel.h"
#include "dialogtemplates_dialogs.h"
#include "filedialogs.h"
#include "messagebox.h"
#include "regularfile.h"
#include "resourceicons.h"
#include "rtfreader.h"
#include "settingsfile.h"

#include <QLabel>
#include <QPushButton>
#include <QTextEdit>

#include <cstring>

namespace {

struct Texts {
    const char *chooserTitle;
    const char *clearQuestion;
    const char *clearCaption;
    const char *pathNotStorable;
    const char *pathTooLong;
};

const Texts kTexts[2] = {
    {"Cesta (adresář) pro společnou grafiku", "Zrušit nastavenou cestu ?", "Adresář",
     "Cestu \"%s\" nelze uložit: obsahuje znaky, které nastavení neumí zapsat.",
     "Cesta \"%s\" je příliš dlouhá: nastavení pojme nejvýše 259 znaků."},
    {"DATA directory path", "Cancel directory ?", "Directory",
     "The path \"%s\" cannot be stored: it holds characters the settings cannot keep.",
     "The path \"%s\" is too long: the settings hold at most 259 characters."},
};

const Texts &T()
{
    return kTexts[LangIndex()];
}

} // namespace

ConfigDlg::ConfigDlg(QWidget *parent) : MyCDialog(IDD_CONFIG, parent)
{
    RegisterDialogsTemplates();
}

bool ConfigDlg::OnInitDialog()
{
    MyCDialog::OnInitDialog();
    ShowTemplateIcons();
    LoadHelp();
    m_layoutAtOpen = g_Settings.DIALOG;
    m_wrapAtOpen = g_Settings.DLG_MULTILINE;

    BindComboIndex(IDC_CONFIG_LANG, &g_Settings.LANG);
    BindRadioGroup(IDC_LAYOUT_5X8, &g_Settings.DIALOG);
    BindCheck(IDC_CONFIG_MULTILINE, &g_Settings.DLG_MULTILINE);
    BindCheck(IDC_CONFIG_BRIGHT, &g_Settings.BRIGHT_ENA);
    for (int n = 1; n <= STATION_COUNT; ++n) {
        StationRecord &pc = g_Settings.PC[n - 1];
        if (auto *choose = DlgItem<QPushButton>(IDC_STATION_CHOOSE + n)) {
            choose->setIcon(ResourceIcon(IDI_CHOOSE_FOLDER));
            choose->setIconSize(QSize(16, 16));
        }
        if (auto *clear = DlgItem<QPushButton>(IDC_STATION_CLEAR + n)) {
            clear->setIcon(ResourceIcon(IDI_CLEAR));
            clear->setIconSize(QSize(16, 16));
        }
        BindCheck(IDC_STATION_ENABLE + n, &pc.ENABLE);
        BindText(IDC_STATION_ADDRESS + n, pc.ADDRESS, int(sizeof pc.ADDRESS));
        BindText(IDC_STATION_SOCKET + n, pc.SOCKET, int(sizeof pc.SOCKET));
        BindText(IDC_STATION_PATH + n, pc.PATH, int(sizeof pc.PATH));
    }
    UpdateControls();
    return true;
}

void ConfigDlg::ShowTemplateIcons()
{
    // An icon static names its icon in the template.
    const DialogTemplate *tmpl = DialogTemplate::Find(IDD_CONFIG);
    if (!tmpl)
        return;
    for (int i = 0; i < ControlCount() && i < int(tmpl->controls.size()); ++i)
        if (tmpl->controls[size_t(i)].kind == ControlKind::Icon)
            if (auto *icon = qobject_cast<QLabel *>(ControlAt(i)))
                icon->setPixmap(ResourceIcon(tmpl->controls[size_t(i)].text.toInt()).pixmap(32, 32));
}

void ConfigDlg::LoadHelp()
{
    auto *help = DlgItem<QTextEdit>(IDC_CONFIG_HELP);
    if (!help)
        return;
    // A missing or unreadable help file leaves the pane empty; nothing else
    // depends on it.
    const std::optional<QByteArray> rtf = ReadRegularFile(QString::fromLatin1(DATA_DIR) + QStringLiteral("/Config.rtf"));
    if (!rtf)
        return;
    if (!LoadRtf(*rtf, help->document()))
        help->clear();
    help->moveCursor(QTextCursor::Start);
}

void ConfigDlg::OnChange(int)
{
    for (int n = 1; n <= STATION_COUNT; ++n)
        EnableRange(IDC_STATION_ADDRESS + n, IDC_STATION_CLEAR + n, g_Settings.PC[n - 1].ENABLE != 0);
}

bool ConfigDlg::OnCmdMsg(int code, int id, QWidget *control)
{
    if (code == BN_CLICKED && id > IDC_STATION_CHOOSE && id <= IDC_STATION_CHOOSE + STATION_COUNT) {
        ChooseDirectory(id - IDC_STATION_CHOOSE);
        return true;
    }
    if (code == BN_CLICKED && id > IDC_STATION_CLEAR && id <= IDC_STATION_CLEAR + STATION_COUNT) {
        ClearDirectory(id - IDC_STATION_CLEAR);
        return true;
    }
    return MyCDialog::OnCmdMsg(code, id, control);
}

void ConfigDlg::ChooseDirectory(int station)
{
    StationRecord &pc = g_Settings.PC[station - 1];
    const QString chosen = ChooseFolder(this, QString::fromUtf8(T().chooserTitle), FieldToQString(pc.PATH));
    if (chosen.isEmpty())
        return;
    // The path is kept in the program's code page: one that would come back
    // different, or cut, is refused rather than stored broken.
    const AnsiFit fit = FitAnsiField(chosen, qsizetype(sizeof pc.PATH));
    if (fit != AnsiFit::Fits) {
        const char *refusal = fit == AnsiFit::TooLong ? T().pathTooLong : T().pathNotStorable;
        ShowMessageBox(this, MessageWith(refusal, chosen), QString::fromUtf8(T().clearCaption), MsgIcon::Warning);
        return;
    }
    CopyText(pc.PATH, QStringToAnsi(chosen).constData());
    UpdateControls();
}

void ConfigDlg::ClearDirectory(int station)
{
    if (ShowMessageBox(this, QString::fromUtf8(T().clearQuestion), QString::fromUtf8(T().clearCaption),
                       MsgIcon::Question, MsgButtons::YesNo)
        != MSG_YES)
        return;
    std::memset(g_Settings.PC[station - 1].PATH, 0, sizeof g_Settings.PC[station - 1].PATH);
    UpdateControls();
}

void ConfigDlg::Close(int result)
{
    if (g_Settings.DIALOG != m_layoutAtOpen || g_Settings.DLG_MULTILINE != m_wrapAtOpen)
        result = RESTART_RESULT;
    done(result);
}

void ConfigDlg::OnOK()
{
    Close(IDOK);
}

void ConfigDlg::OnCancel()
{
    Close(IDCANCEL);
}
