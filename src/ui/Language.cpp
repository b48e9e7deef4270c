#include "ui/Language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QSettings>

#include "common/Paths.h"
#include "ui/Settings.h"

namespace kinovela::ui {

QString EnglishTranslationFile() { return QString::fromStdString(ProgramDataPath("English.qm")); }

bool SpeaksJapanese(const QLocale& locale)
{
    const QStringList wanted = locale.uiLanguages();
    const QLocale first = wanted.isEmpty() ? locale : QLocale(wanted.first());
    return first.language() == QLocale::Japanese;
}

Language::Language(QString translationFile, QLocale locale) : m_file(std::move(translationFile)), m_locale(locale) {}

Language::~Language()
{
    UnloadEnglish();
    ShowQtJapanese(false);
}

void Language::ShowQtJapanese(bool shown)
{
    if (!shown || m_qtJapanese) {
        if (!shown && m_qtJapanese) {
            QCoreApplication::removeTranslator(m_qtJapanese.get());
            m_qtJapanese.reset();
        }
        return;
    }
    auto qt = std::make_unique<QTranslator>();
    if (!qt->load(QLocale(QLocale::Japanese, QLocale::Japan), "qtbase", "_",
                  QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return;
    m_qtJapanese = std::move(qt);
    QCoreApplication::installTranslator(m_qtJapanese.get());
}

bool Language::LoadEnglish()
{
    auto english = std::make_unique<QTranslator>();
    if (!english->load(m_file)) return false;
    ++m_loads;
    UnloadEnglish();
    m_english = std::move(english);
    QCoreApplication::installTranslator(m_english.get());
    return true;
}

bool Language::UnloadEnglish()
{
    if (!m_english) return false;
    QCoreApplication::removeTranslator(m_english.get());
    m_english.reset();
    return true;
}

bool Language::SetUp(std::string& name)
{
    const QString chosen =
        QSettings(kSettingsOrganisation, kSettingsApplication).value(kLanguageSetting).toString();
    const bool english = chosen == kEnglish || (chosen != kJapanese && !SpeaksJapanese(m_locale));
    if (english) {
        name = kEnglish;
        const bool changed = LoadEnglish();
        // Without the translation the texts stay Japanese, Qt's too.
        ShowQtJapanese(!EnglishShown());
        return changed;
    }
    name = kJapanese;
    ShowQtJapanese(true);
    return UnloadEnglish();
}

bool Language::Switch(std::string& name)
{
    QSettings(kSettingsOrganisation, kSettingsApplication)
        .setValue(kLanguageSetting, QString::fromLatin1(name == kEnglish ? kJapanese : kEnglish));
    return SetUp(name);
}

}  // namespace kinovela::ui
