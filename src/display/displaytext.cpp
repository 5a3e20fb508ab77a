// SPDX-License-Identifier: GPL-3.0-or-later
#include "display/displaytext.h"

#include <QFile>

#include "model/utf8.h"

namespace settree {

QString BytesToDisplay(std::string_view bytes) {
    if (HoldsBothEncodings(bytes))
        return QString::fromStdString(ToUtf8(bytes)); // each run as it was meant
    return BytesToDisplay(bytes, IsValidUtf8(bytes));
}

QString BytesToDisplay(std::string_view bytes, bool utf8) {
    const auto size = static_cast<qsizetype>(bytes.size());
    return utf8 ? QString::fromUtf8(bytes.data(), size) : QString::fromLatin1(bytes.data(), size);
}

bool DisplayToBytes(const QString& text, bool utf8, std::string& bytes) {
    if (utf8) {
        bytes = text.toStdString();
        return true;
    }
    bytes.clear();
    bytes.reserve(static_cast<size_t>(text.size()));
    for (const QChar c : text) {
        if (c.unicode() > 0xFF)
            return false;
        bytes.push_back(static_cast<char>(c.unicode()));
    }
    return true;
}

QString FileNameToQString(const std::string& fileName) {
    return QFile::decodeName(QByteArray(fileName.data(), qsizetype(fileName.size())));
}

std::string QStringToFileName(const QString& fileName) {
    return QFile::encodeName(fileName).toStdString();
}

} // namespace settree
