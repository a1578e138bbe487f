#pragma once

// Creates a dialog's controls from its template: one widget per table row,
// as children of the dialog, in table order, so window order, creation order
// and tab order are the table's. Each widget carries its identifier in the
// int property "controlId". Radio buttons are exclusive within their group
// (from a StyleGroup control up to the next one), as automatic radio buttons
// of the platform are.

#include "dialogtemplate.h"
#include "notifyrouter.h"

#include <QList>

#include <functional>

class QWidget;

class TemplateBuilder {
public:
    // Supplies the widget of a control whose class the dialog chooses (an
    // owner-drawn button, a colour picker, a tab host); nullptr takes the
    // builder's widget for the kind.
    using Factory = std::function<QWidget *(const DialogControl &control, QWidget *parent)>;

    static constexpr const char *IdProperty = "controlId";

    // Sets the template's font on the dialog and its client size, then builds
    // the controls; returns them in table order. With a sink, every control
    // reports to it through a NotifyRouter.
    static QList<QWidget *> Build(const DialogTemplate &tmpl, QWidget *dialog, const Factory &factory = {},
                                  const NotifyRouter::Sink &sink = {});

    // The widget for one control kind, unplaced and unstyled.
    static QWidget *CreateWidget(const DialogControl &control, QWidget *parent);

    // The identifier a widget was built with, or 0.
    static int ControlId(const QWidget *widget);
};
