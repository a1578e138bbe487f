#pragma once

// A dialog for the framework's tests: it registers the bindings a test gives
// it in its initialisation, records every OnChange and can run a test's
// handler inside OnChange.

#include "mycdialog.h"

#include <QList>

#include <functional>

class BoundTestDialog : public MyCDialog {
    Q_OBJECT
public:
    using Binder = std::function<void(BoundTestDialog &)>;

    explicit BoundTestDialog(int templateId, Binder binder = {}, QWidget *parent = nullptr)
        : MyCDialog(templateId, parent), m_binder(std::move(binder))
    {
    }

    QList<int> changes;
    int inits = 0;
    std::function<void(BoundTestDialog &, int)> onChange;
    std::function<QWidget *(const DialogControl &, QWidget *)> factory;

    // Creates the window as a top-level widget, shown and active.
    bool Open();

    void OnChange(int id) override
    {
        changes << id;
        if (onChange)
            onChange(*this, id);
    }

protected:
    bool OnInitDialog() override
    {
        MyCDialog::OnInitDialog();
        ++inits;
        if (m_binder)
            m_binder(*this);
        UpdateControls();
        return true;
    }
    QWidget *CreateControl(const DialogControl &c, QWidget *parent) override
    {
        return factory ? factory(c, parent) : nullptr;
    }

private:
    Binder m_binder;
};
