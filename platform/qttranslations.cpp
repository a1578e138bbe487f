#include "qttranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <memory>

namespace {

constexpr int LANG_CZECH = 0;
constexpr int LANG_ENGLISH = 1;
constexpr int NOT_LOADED = -1;

struct QtLanguage {
    std::function<int()> source;
    std::unique_ptr<QTranslator> translator;
    int lang = NOT_LOADED;
};

QtLanguage &State()
{
    static QtLanguage state;
    return state;
}

} // namespace

void SetQtLanguageSource(std::function<int()> source)
{
    State().source = std::move(source);
}

QString QtCatalogueFile(int lang)
{
    const char *name = lang == LANG_CZECH ? "qtbase_cs.qm" : lang == LANG_ENGLISH ? "qtbase_en.qm" : nullptr;
    if (!name)
        return {};
    return QLibraryInfo::path(QLibraryInfo::TranslationsPath) + QLatin1Char('/') + QLatin1String(name);
}

bool ApplyQtLanguage()
{
    QtLanguage &state = State();
    if (!state.source || !QCoreApplication::instance())
        return true;
    const int lang = state.source();
    if (lang == state.lang)
        return true;
    if (state.translator) {
        QCoreApplication::removeTranslator(state.translator.get());
        state.translator.reset();
    }
    const QString file = QtCatalogueFile(lang);
    auto translator = std::make_unique<QTranslator>();
    if (!file.isEmpty() && !translator->load(file)) {
        // English is the language Qt's texts are written in: nothing is lost.
        // A missing Czech catalogue is looked for again at the next box.
        state.lang = lang == LANG_ENGLISH ? lang : NOT_LOADED;
        return lang == LANG_ENGLISH;
    }
    state.lang = lang;
    if (!file.isEmpty()) {
        QCoreApplication::installTranslator(translator.get());
        state.translator = std::move(translator);
    }
    return true;
}
