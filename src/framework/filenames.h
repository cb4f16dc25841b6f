#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

// File names are bytes; the app holds them as text. A name that is UTF-8 becomes the text it spells, exactly as the
// toolkit decodes it. Each byte that is not part of well-formed UTF-8 becomes a lone low surrogate, U+DC80 to
// U+DCFF, which no UTF-8 text decodes to, so that every name comes back to its exact bytes and no save ever writes a
// file of another name. Such text must not reach the toolkit's own file classes, which would encode it differently.
namespace FileNames {

QByteArray encodeName(const QString &name);
QString decodeName(const QByteArray &bytes);
// Whether the name holds bytes that are not UTF-8.
bool hasEscapes(const QString &name);
// The name as a person reads it: each byte that is not UTF-8 shows as U+FFFD.
QString displayName(const QString &name);

// A file URL that carries the path's exact bytes (percent-encoded where they are not UTF-8), and back. A URL whose
// path is not UTF-8 (from the bus, say) reaches the file its bytes name.
QUrl urlOfPath(const QString &path);
QString pathOfUrl(const QUrl &url);

// The path with links and "." and ".." resolved, or empty when it does not exist.
QString canonicalPath(const QString &path);
bool exists(const QString &path);

// The app's folder for state kept between runs: $XDG_STATE_HOME/appDirName, ~/.local/state/appDirName without it.
QString stateFolder(const QString &appDirName);

} // namespace FileNames
