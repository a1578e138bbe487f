#pragma once

// The program browser: the folders of a station's program tree in a tree
// view, the programs of the selected folder in a virtual list with name, date
// and description. It searches all folders for names that contain a text,
// jumps in the list as the operator types, sorts by name or date, moves a
// program directory to the trash, and hands back the chosen program's name
// relative to the root, its parts joined by backslashes.

#include "listctrlex.h"
#include "mycdialog.h"

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTreeWidget>

class OpenDlg : public MyCDialog {
    Q_OBJECT
public:
    explicit OpenDlg(QWidget *parent = nullptr);
    ~OpenDlg() override;

    // The directory to browse; set before the dialog runs.
    void SetRoot(const QString &root) { m_root = root; }
    const QString &Root() const { return m_root; }
    // After a run with result 1: the chosen program; empty otherwise.
    const QString &ChosenProgram() const { return m_chosen; }
    bool InSearchMode() const { return m_searchMode != 0; }
    int SortKey() const { return m_sortKey; }

protected:
    bool OnInitDialog() override;
    QWidget *CreateControl(const DialogControl &control, QWidget *parent) override;
    bool OnCmdMsg(int code, int id, QWidget *control) override;
    void OnOK() override;
    void OnCancel() override;
    void OnChange(int id) override;

private:
    void FillTree();
    void ListFolder();
    void Search();
    void EndSearch();
    void Sort(int column);
    void FindAsYouType();
    void Open();
    void Delete();

    // The selected row's program name with the current folder in front;
    // empty when no row is selected.
    QString SelectedProgram() const;
    QString RowName(int row) const;
    void SelectRow(int row);
    // The file-system path of a folder or program given relative to the root.
    QString FsPath(const QString &relative) const;
    // The program directory to move to the trash as names below the resolved
    // root, its folders resolved; empty when it does not lie inside the root.
    QStringList ResolveInsideRoot(const QString &resolvedRoot, const QString &program) const;
    // A message for a name that cannot be stored in a button; true when it can.
    bool Storable(const QString &program);
    static void Display(void *context, ListDispInfo *info);

    QString m_chosen;
    QString m_root;
    QString m_currentPath;     // the listed folder on disk
    QString m_currentRelative; // and relative to the root, empty for the root
    QPointer<ListCtrlEx> m_list;
    QPointer<QTreeWidget> m_tree;
    int32_t m_sortKey = 0;
    char m_searchText[30] = {};
    int32_t m_searchMode = 0;
};
