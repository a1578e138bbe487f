#pragma once

// The program's start-up: the station markers once, then the main window in
// a loop. Each pass loads the settings afresh and picks the template of the
// configured layout; the restart result builds the window again, any other
// result ends the program.

#include <functional>

class CPlaxonDlg;

class CPlaxonApp {
public:
    // Runs the loop; returns false, as the framework's start-up routine does,
    // so the program ends when it returns.
    bool InitInstance();

    // The template of the pass that runs now (or ran last).
    int CurrentTemplate() const { return m_template; }

    // Called with every main window before it runs (tests drive it from here).
    std::function<void(CPlaxonDlg &)> onWindow;
    // Builds the window of a pass; tests may hand in a subclass.
    std::function<CPlaxonDlg *(int templateId)> makeWindow;

private:
    int m_template = 0;
};
