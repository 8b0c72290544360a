// Text between the suite (ANSI code page bytes, Windows mnemonics) and Qt (UTF-16).
#pragma once

#include <QString>
#include <QValidator>
#include <string>

namespace vlt::frontends::qt {

QString fromAnsi(const std::string& ansi);
// Characters the code page cannot hold never reach here: editable fields refuse them as typed
// (AnsiValidator).
std::string toAnsi(const QString& text);
// A file-system path as Linux stores it (bytes, normally UTF-8).
QString fromPath(const std::string& path);
std::string toPath(const QString& path);

// "&Lock" shows "Lock" with L as mnemonic, "&&" one ampersand; for widgets without mnemonics.
QString withoutMnemonics(const QString& text);

// Refuses what the ANSI code page cannot store (a password typed with such a character could
// never be typed again on Windows), and non-digits for ES_NUMBER fields.
class AnsiValidator final : public QValidator {
public:
    explicit AnsiValidator(bool digitsOnly, QObject* parent = nullptr);
    State validate(QString& input, int& position) const override;

private:
    bool m_digitsOnly;
};

}  // namespace vlt::frontends::qt
