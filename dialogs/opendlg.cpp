#include "opendlg.h"

#include "foldertable.h"
#include "programlist.h"

#include "codepage.h"
#include "configmodel.h"
#include "controlmessages.h"
#include "dialogtemplates_dialogs.h"
#include "listctrlex.h"
#include "messagebox.h"
#include "resourceicons.h"
#include "trash.h"

#include <QFileInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include <cstring>

namespace {

// A program name must fit a button's PROGRAM field with its terminator.
constexpr qsizetype kProgramCapacity = sizeof(ButtonRecord{}.PROGRAM[0]);

struct Texts {
    const char *title;
    const char *folders;
    const char *open;
    const char *cancel;
    const char *search;
    const char *remove;
    const char *columnName;
    const char *columnDate;
    const char *columnDescription;
    const char *deleteQuestion;
    const char *deleteCaption;
    const char *outsideRoot;
    const char *notTrashed;
    const char *tooLong;
    const char *notStorable;
};

const Texts kTexts[2] = {
    {"Otevřít program", "Adresáře", "Otevřít", "Zpět", "Hledat", "Smazat", "Název programu", "Datum", "Popis",
     "Vymazat program \"%s\" ?\r\n\r\n(přesunout do koše)", "Smazat program",
     "Program \"%s\" neleží v adresáři programů, proto jej nelze smazat.",
     "Program \"%s\" se nepodařilo přesunout do koše.",
     "Název programu \"%s\" je příliš dlouhý: tlačítko pojme nejvýše 79 znaků.",
     "Název programu \"%s\" obsahuje znaky, které nelze uložit."},
    {"Open program", "Directory", "Open", "Cancel", "Search", "Delete", "Program name", "Date", "Description",
     "Delete program \"%s\" ?\r\n\r\n(move to Recycle Bin)", "Delete program",
     "The program \"%s\" does not lie inside the programs directory, so it cannot be deleted.",
     "The program \"%s\" could not be moved to the Recycle Bin.",
     "The program name \"%s\" is too long: a button holds at most 79 characters.",
     "The program name \"%s\" contains characters that cannot be stored."},
};

const Texts &T()
{
    return kTexts[LangIndex()];
}

QString Text(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

bool StartsWithAZ(const QString &text, const QString &prefix)
{
    return ProgramList::UpperAZ(text).startsWith(ProgramList::UpperAZ(prefix));
}

} // namespace

OpenDlg::OpenDlg(QWidget *parent) : MyCDialog(IDD_OPEN, parent)
{
    RegisterDialogsTemplates();
}

OpenDlg::~OpenDlg()
{
    TheFolderTable().ForgetItems();
}

QWidget *OpenDlg::CreateControl(const DialogControl &control, QWidget *parent)
{
    if (control.id != IDC_OPEN_LIST)
        return nullptr;
    auto *list = new ListCtrlEx(parent);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    return list;
}

bool OpenDlg::OnInitDialog()
{
    MyCDialog::OnInitDialog();
    const Texts &t = T();
    setWindowTitle(Text(t.title));
    SetControlText(GetDlgItem(IDC_OPEN_FOLDERS_LABEL), Text(t.folders));
    SetControlText(GetDlgItem(IDC_OPEN_SEARCH_LABEL), Text(t.search));
    SetControlText(GetDlgItem(IDOK), Text(t.open));
    SetControlText(GetDlgItem(IDCANCEL), Text(t.cancel));
    SetControlText(GetDlgItem(IDC_OPEN_DELETE), Text(t.remove));

    if (auto *search = DlgItem<QPushButton>(IDC_OPEN_SEARCH)) {
        search->setIcon(ResourceIcon(IDI_SEARCH));
        search->setIconSize(QSize(24, 24));
    }
    if (auto *end = DlgItem<QPushButton>(IDC_OPEN_END_SEARCH)) {
        end->setIcon(ResourceIcon(IDI_CLEAR));
        end->setIconSize(QSize(16, 16));
    }

    m_list = DlgItem<ListCtrlEx>(IDC_OPEN_LIST);
    m_tree = DlgItem<QTreeWidget>(IDC_OPEN_TREE);
    if (!m_list || !m_tree)
        return true;
    m_list->SetImageList({ResourceIcon(IDI_ARROW_UP), ResourceIcon(IDI_ARROW_DOWN)});
    m_list->SetExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    m_list->InsertColumn(0, Text(t.columnName), LVCFMT_LEFT, 150);
    // The date column is at least as wide as a date in this font: a time
    // cut off at the minutes tells the operator nothing.
    const int dateWidth = m_list->fontMetrics().horizontalAdvance(QStringLiteral("00.00.0000 00:00")) + 16;
    m_list->InsertColumn(1, Text(t.columnDate), LVCFMT_LEFT, std::max(100, dateWidth));
    m_list->InsertColumn(2, Text(t.columnDescription), LVCFMT_LEFT, 370);
    m_list->SetCallbacks(this, 0, &OpenDlg::Display, nullptr);
    connect(m_list->horizontalHeader(), &QHeaderView::sectionClicked, this, &OpenDlg::Sort);
    connect(m_list, &QAbstractItemView::doubleClicked, this, &OpenDlg::Open);
    // Every change of the tree's selection, the program's own included.
    connect(m_tree, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem *current) {
        if (current)
            ListFolder();
    });

    m_currentPath = FsPath(QString());
    m_currentRelative.clear();
    FillTree();
    Sort(1);
    SelectRow(0);

    BindText(IDC_OPEN_SEARCH_TEXT, m_searchText, int(sizeof m_searchText));
    UpdateControls();
    return true;
}

QString OpenDlg::FsPath(const QString &relative) const
{
    if (relative.isEmpty())
        return m_root;
    return m_root + QLatin1Char('/') + QString(relative).replace(QLatin1Char('\\'), QLatin1Char('/'));
}

void OpenDlg::FillTree()
{
    FolderTable &folders = TheFolderTable();
    m_tree->clear();
    folders.Fill(m_root);
    auto *root = new QTreeWidgetItem(m_tree, QStringList{QStringLiteral("programs")});
    root->setData(0, Qt::UserRole, 0);
    folders.SetItem(0, root);
    // Parents come before their children in the table.
    for (int i = 1; i < folders.Count(); ++i) {
        const FolderEntry &entry = folders.At(i);
        const QString name = entry.path.mid(entry.path.lastIndexOf(QLatin1Char('\\')) + 1);
        auto *item = new QTreeWidgetItem(folders.At(entry.parent).item, QStringList{name});
        item->setData(0, Qt::UserRole, i);
        folders.SetItem(i, item);
    }
    m_tree->expandAll();
    m_tree->setCurrentItem(root);
    m_tree->scrollToItem(root);
}

void OpenDlg::ListFolder()
{
    if (!m_tree || !m_list)
        return;
    const QTreeWidgetItem *item = m_tree->currentItem();
    if (!item)
        return;
    const FolderTable &folders = TheFolderTable();
    const int index = item->data(0, Qt::UserRole).toInt();
    if (index < 0 || index >= folders.Count())
        return;
    m_currentRelative = folders.At(index).path;
    m_currentPath = FsPath(m_currentRelative);
    ProgramList &programs = TheProgramList();
    programs.Clear();
    programs.Scan(m_currentPath, -1, QString(), folders.ResolvedRoot());
    programs.Sort(m_sortKey);
    m_list->SetItemCountKeepScroll(programs.Count());
}

void OpenDlg::Search()
{
    const QString text = FieldToQString(m_searchText);
    if (text.isEmpty() || !m_tree || !m_list)
        return;
    const FolderTable &folders = TheFolderTable();
    if (m_currentRelative.isEmpty() && folders.Count() > 0 && folders.At(0).item)
        m_tree->setCurrentItem(folders.At(0).item);
    m_currentPath = FsPath(QString());
    m_currentRelative.clear();
    m_tree->setEnabled(false);
    ShowControl(IDC_OPEN_END_SEARCH, true);
    m_searchMode = 1;

    ProgramList &programs = TheProgramList();
    programs.Clear();
    const QString upper = ProgramList::UpperAZ(text);
    for (int i = 0; i < folders.Count(); ++i)
        programs.Scan(FsPath(folders.At(i).path), i, upper, folders.ResolvedRoot());
    programs.Sort(m_sortKey);
    m_list->SetItemCount(programs.Count());
    SelectRow(0);
}

void OpenDlg::EndSearch()
{
    if (m_tree)
        m_tree->setEnabled(true);
    ShowControl(IDC_OPEN_END_SEARCH, false);
    ListFolder();
    m_searchMode = 0;
}

void OpenDlg::Sort(int column)
{
    if (!m_list)
        return;
    int mark = 0;
    if (column == 0) {
        m_sortKey = ProgramList::SORT_BY_NAME;
        mark = 0;
    } else if (column == 1) {
        m_sortKey = ProgramList::SORT_BY_DATE;
        mark = 1;
    } else {
        return;
    }
    for (int c = 0; c < m_list->GetColumnCount(); ++c)
        m_list->SetSortImage(c, -1);
    m_list->SetSortImage(mark, 0);
    ListFolder();
    SelectRow(0);
}

void OpenDlg::FindAsYouType()
{
    if (!m_list || !m_tree)
        return;
    if (m_sortKey == ProgramList::SORT_BY_DATE)
        Sort(0);
    QString text = FieldToQString(m_searchText);
    if (!text.isEmpty() && text.endsWith(QLatin1Char('\\'))) {
        QString candidate = m_currentRelative.isEmpty() ? text : m_currentRelative + QLatin1Char('\\') + text;
        candidate.chop(1);
        const FolderTable &folders = TheFolderTable();
        for (int i = 0; i < folders.Count(); ++i) {
            if (!StartsWithAZ(folders.At(i).path, candidate))
                continue;
            if (folders.At(i).item)
                m_tree->setCurrentItem(folders.At(i).item);
            ListFolder();
            std::memset(m_searchText, 0, sizeof m_searchText);
            // The field is the one being edited: the binding leaves it alone.
            SetControlText(GetDlgItem(IDC_OPEN_SEARCH_TEXT), QString());
            text.clear();
            break;
        }
    }
    const ProgramList &programs = TheProgramList();
    int row = -1;
    for (int i = 0; i < programs.Count(); ++i) {
        if (programs.Collator().compare(QStringView(RowName(i)).left(text.size()), text) >= 0) {
            row = i;
            break;
        }
    }
    if (row < 0)
        row = programs.Count() - 1;
    SelectRow(row);
}

void OpenDlg::SelectRow(int row)
{
    if (!m_list)
        return;
    m_list->ClearSelection();
    if (row < 0 || row >= m_list->GetItemCount())
        return;
    m_list->SetItemState(row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    m_list->EnsureVisible(row);
}

QString OpenDlg::RowName(int row) const
{
    const ProgramList &programs = TheProgramList();
    const FolderTable &folders = TheFolderTable();
    const QString name = programs.NameOf(row);
    const int folder = programs.At(row).folder;
    if (folder < 0 || folder >= folders.Count() || folders.At(folder).path.isEmpty())
        return name;
    return folders.At(folder).path + QLatin1Char('\\') + name;
}

QString OpenDlg::SelectedProgram() const
{
    if (!m_list)
        return QString();
    const int row = m_list->GetNextItem(-1, LVNI_SELECTED);
    if (row < 0 || row >= TheProgramList().Count())
        return QString();
    const QString name = RowName(row);
    return m_currentRelative.isEmpty() ? name : m_currentRelative + QLatin1Char('\\') + name;
}

bool OpenDlg::Storable(const QString &program)
{
    const AnsiFit fit = FitAnsiField(program, kProgramCapacity);
    if (fit == AnsiFit::Fits)
        return true;
    const char *refusal = fit == AnsiFit::TooLong ? T().tooLong : T().notStorable;
    ShowMessageBox(this, MessageWith(refusal, program), Text(T().title), MsgIcon::Warning);
    return false;
}

void OpenDlg::Open()
{
    m_chosen = SelectedProgram();
    if (m_chosen.isEmpty())
        return;
    // A name the button could not hold is refused here, where another
    // program can still be chosen.
    if (!Storable(m_chosen)) {
        m_chosen.clear();
        return;
    }
    done(1);
}

void OpenDlg::OnOK()
{
    Open();
}

void OpenDlg::OnCancel()
{
    m_chosen.clear();
    done(0);
}

QStringList OpenDlg::ResolveInsideRoot(const QString &resolvedRoot, const QString &program) const
{
    if (resolvedRoot.isEmpty())
        return {};
    for (const QString &part : program.split(QLatin1Char('\\')))
        if (part.isEmpty() || part == QLatin1String(".") || part == QLatin1String(".."))
            return {};
    const QFileInfo target(FsPath(program));
    if (!target.exists() && !target.isSymLink())
        return {};
    // The folders above the program are resolved (a listed folder may be a
    // link inside the root); the program directory itself is taken as it is,
    // so a link is moved and never followed.
    const QString parent = QFileInfo(target.path()).canonicalFilePath();
    if (parent == resolvedRoot)
        return {target.fileName()};
    const QString prefix = resolvedRoot.endsWith(QLatin1Char('/')) ? resolvedRoot : resolvedRoot + QLatin1Char('/');
    if (!parent.startsWith(prefix))
        return {};
    return parent.mid(prefix.size()).split(QLatin1Char('/')) << target.fileName();
}

void OpenDlg::Delete()
{
    const QString program = SelectedProgram();
    if (program.isEmpty())
        return;
    const Texts &t = T();
    if (ShowMessageBox(this, MessageWith(t.deleteQuestion, program), Text(t.deleteCaption), MsgIcon::Warning,
                       MsgButtons::YesNo, MSG_NO)
        != MSG_YES)
        return;
    const QString root = QFileInfo(m_root).canonicalFilePath();
    const QStringList below = ResolveInsideRoot(root, program);
    // The move walks the checked folders again without following links: a
    // folder swapped for a link meanwhile stops it.
    const TrashResult result = below.isEmpty() ? TrashResult::NotInside : MoveToTrashBelow(root, below);
    if (result == TrashResult::Moved) {
        ListFolder();
        return;
    }
    const char *refusal = result == TrashResult::NotInside ? t.outsideRoot : t.notTrashed;
    ShowMessageBox(this, MessageWith(refusal, program), Text(t.deleteCaption), MsgIcon::Warning);
}

bool OpenDlg::OnCmdMsg(int code, int id, QWidget *control)
{
    if (code == BN_CLICKED) {
        switch (id) {
        case IDC_OPEN_SEARCH: Search(); return true;
        case IDC_OPEN_END_SEARCH: EndSearch(); return true;
        case IDC_OPEN_DELETE: Delete(); return true;
        default: break;
        }
    }
    return MyCDialog::OnCmdMsg(code, id, control);
}

void OpenDlg::OnChange(int id)
{
    if (id == IDC_OPEN_SEARCH_TEXT && !m_searchMode)
        FindAsYouType();
}

void OpenDlg::Display(void *context, ListDispInfo *info)
{
    const auto *self = static_cast<const OpenDlg *>(context);
    const ProgramList &programs = TheProgramList();
    if (!self || !info || !(info->mask & LVIF_TEXT) || !info->text || info->textMax <= 0 || info->item < 0
        || info->item >= programs.Count())
        return;
    QString text;
    switch (info->subItem) {
    case 0:
        text = self->RowName(info->item);
        break;
    case 1: {
        const ProgramDate &d = programs.At(info->item).date;
        text = QString::asprintf("%02u.%02u.%04u %02u:%02u", unsigned(d.wDay), unsigned(d.wMonth), unsigned(d.wYear),
                                 unsigned(d.wHour), unsigned(d.wMinute));
        break;
    }
    case 2:
        text = programs.DescriptionOf(info->item);
        break;
    default:
        return;
    }
    qsizetype n = std::min<qsizetype>(text.size(), info->textMax - 1);
    if (n > 0 && n < text.size() && text[n - 1].isHighSurrogate())
        --n;
    std::memcpy(info->text, text.utf16(), size_t(n) * sizeof(char16_t));
    info->text[n] = u'\0';
}
