#include "dialogtemplate.h"

#include <map>
#include <memory>

namespace {

// Node-based, so a template found once stays at its address while others are
// registered.
std::map<int, std::unique_ptr<DialogTemplate>> &Registry()
{
    static std::map<int, std::unique_ptr<DialogTemplate>> templates;
    return templates;
}

} // namespace

int DialogTemplate::IndexOf(int controlId) const
{
    for (size_t i = 0; i < controls.size(); ++i)
        if (controls[i].id == controlId)
            return int(i);
    return -1;
}

void DialogTemplate::Register(DialogTemplate tmpl)
{
    auto &slot = Registry()[tmpl.id];
    if (slot)
        *slot = std::move(tmpl);
    else
        slot = std::make_unique<DialogTemplate>(std::move(tmpl));
}

const DialogTemplate *DialogTemplate::Find(int id)
{
    const auto it = Registry().find(id);
    return it == Registry().end() ? nullptr : it->second.get();
}
