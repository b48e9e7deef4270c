// The interface language. Japanese is built in; English comes from the
// translation English.qm among the program's files, loaded with a
// QTranslator while English is in use. The choice is kept in the settings
// ("Kinovela"/"Language": "English" or "Japanese"); without one, a user
// whose desktop speaks Japanese gets Japanese and everybody else English.
#pragma once

#include <QLocale>
#include <QString>
#include <QTranslator>

#include <memory>
#include <string>

namespace kinovela::ui {

inline constexpr const char* kLanguageSetting = "Kinovela/Language";
inline constexpr const char* kEnglish = "English";
inline constexpr const char* kJapanese = "Japanese";

// The translation file among the program's files.
QString EnglishTranslationFile();
// Whether `locale`'s interface language is Japanese: the first of the
// languages the desktop asks for (LANGUAGE, LC_MESSAGES, LANG).
bool SpeaksJapanese(const QLocale& locale);

class Language {
public:
    // `translationFile`: where English.qm is; `locale`: the user's.
    explicit Language(QString translationFile = EnglishTranslationFile(), QLocale locale = QLocale::system());
    ~Language();
    Language(const Language&) = delete;
    Language& operator=(const Language&) = delete;

    // Reads the setting and puts that language in place: English loads the
    // translation afresh (a missing or unreadable file keeps what is shown,
    // though the name says English), Japanese unloads it; no setting
    // chooses by the locale. `name` becomes "English" or "Japanese".
    // True when the texts shown changed, so menus and tool bars must be
    // made again.
    bool SetUp(std::string& name);
    // Writes the other language than `name` into the setting and sets up.
    bool Switch(std::string& name);

    // Whether the English texts are in use (the translation is loaded).
    bool EnglishShown() const { return m_english != nullptr; }
    // Whether Qt's own texts (the standard buttons, the file and colour
    // dialogs) are in Japanese: while Japanese is in use and Qt's Japanese
    // translation is installed (Debian's qt6-translations-l10n); else Qt
    // speaks English.
    bool QtJapaneseShown() const { return m_qtJapanese != nullptr; }
    // How many times the translation has been loaded.
    int Loads() const { return m_loads; }

private:
    bool LoadEnglish();
    bool UnloadEnglish();
    void ShowQtJapanese(bool shown);

    QString m_file;
    QLocale m_locale;
    std::unique_ptr<QTranslator> m_english;
    std::unique_ptr<QTranslator> m_qtJapanese;
    int m_loads = 0;
};

}  // namespace kinovela::ui
