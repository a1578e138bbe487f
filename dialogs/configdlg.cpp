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

constexpr int IDC_LANG = 2118;
constexpr int IDC_BRIGHT = 2209;
constexpr int IDC_FIRST_LAYOUT = 2212;
constexpr int IDC_MULTILINE = 2237;
constexpr int IDC_HELP = 2224;
constexpr int IDC_ENABLE = 1900;   // + station number 1..4
constexpr int IDC_ADDRESS = 1910;
constexpr int IDC_PATH = 1920;
constexpr int IDC_SOCKET = 1930;
constexpr int IDC_CHOOSE = 1940;
constexpr int IDC_CLEAR = 1950;

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

QString WithPath(const char *utf8, const QString &path)
{
    QString text = QString::fromUtf8(utf8);
    const qsizetype at = text.indexOf(QStringLiteral("%s"));
    if (at >= 0)
        text.replace(at, 2, path);
    return text;
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

    BindComboIndex(IDC_LANG, &g_Settings.LANG);
    BindRadioGroup(IDC_FIRST_LAYOUT, &g_Settings.DIALOG);
    BindCheck(IDC_MULTILINE, &g_Settings.DLG_MULTILINE);
    BindCheck(IDC_BRIGHT, &g_Settings.BRIGHT_ENA);
    for (int n = 1; n <= STATION_COUNT; ++n) {
        StationRecord &pc = g_Settings.PC[n - 1];
        if (auto *choose = DlgItem<QPushButton>(IDC_CHOOSE + n)) {
            choose->setIcon(ResourceIcon(145));
            choose->setIconSize(QSize(16, 16));
        }
        if (auto *clear = DlgItem<QPushButton>(IDC_CLEAR + n)) {
            clear->setIcon(ResourceIcon(155));
            clear->setIconSize(QSize(16, 16));
        }
        BindCheck(IDC_ENABLE + n, &pc.ENABLE);
        BindText(IDC_ADDRESS + n, pc.ADDRESS, int(sizeof pc.ADDRESS));
        BindText(IDC_SOCKET + n, pc.SOCKET, int(sizeof pc.SOCKET));
        BindText(IDC_PATH + n, pc.PATH, int(sizeof pc.PATH));
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
    auto *help = DlgItem<QTextEdit>(IDC_HELP);
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
        EnableRange(IDC_ADDRESS + n, IDC_CLEAR + n, g_Settings.PC[n - 1].ENABLE != 0);
}

bool ConfigDlg::OnCmdMsg(int code, int id, QWidget *control)
{
    if (code == BN_CLICKED && id > IDC_CHOOSE && id <= IDC_CHOOSE + STATION_COUNT) {
        ChooseDirectory(id - IDC_CHOOSE);
        return true;
    }
    if (code == BN_CLICKED && id > IDC_CLEAR && id <= IDC_CLEAR + STATION_COUNT) {
        ClearDirectory(id - IDC_CLEAR);
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
    const char *refusal = nullptr;
    if (!SurvivesAnsi(chosen))
        refusal = T().pathNotStorable;
    else if (QStringToAnsi(chosen).size() >= qsizetype(sizeof pc.PATH))
        refusal = T().pathTooLong;
    if (refusal) {
        ShowMessageBox(this, WithPath(refusal, chosen), QString::fromUtf8(T().clearCaption), MsgIcon::Warning);
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
        result = RESULT_RESTART;
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
