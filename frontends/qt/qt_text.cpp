#include "frontends/qt/qt_text.h"

#include <QFile>

#include "base/codepage.h"

namespace vlt::frontends::qt {

QString fromAnsi(const std::string& ansi) { return QString::fromStdString(base::ansiToUtf8(ansi)); }

std::string toAnsi(const QString& text) {
    auto ansi = base::utf8ToAnsi(text.toStdString());
    if (ansi) return std::move(*ansi);
    // Only reachable for text the validator did not see (set programmatically): keep what fits.
    std::string out;
    for (const QChar c : text) {
        auto one = base::utf8ToAnsi(QString(c).toStdString());
        out += one ? *one : std::string("?");
    }
    return out;
}

QString fromPath(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

std::string toPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

QString withoutMnemonics(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && i + 1 < text.size()) {
            ++i;  // "&&" keeps one ampersand, "&x" keeps x
        }
        out += text[i];
    }
    return out;
}

AnsiValidator::AnsiValidator(bool digitsOnly, QObject* parent) : QValidator(parent), m_digitsOnly(digitsOnly) {}

QValidator::State AnsiValidator::validate(QString& input, int& /*position*/) const {
    if (m_digitsOnly) {
        for (const QChar c : input)
            if (c < u'0' || c > u'9') return Invalid;
    }
    return base::utf8ToAnsi(input.toStdString()) ? Acceptable : Invalid;
}

}  // namespace vlt::frontends::qt
