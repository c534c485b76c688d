#pragma once

#include <string>

#include <QFile>
#include <QString>

namespace vandrel {

// File paths are bytes; Qt shows and edits them in the system's encoding.
inline QString PathText(const std::string& path) {
    return QFile::decodeName(path.c_str());
}

inline std::string PathBytes(const QString& text) {
    return QFile::encodeName(text).toStdString();
}

}  // namespace vandrel
