// Names on disk are bytes, shown and edited as text: the one place where the two meet.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

class QUrl;

namespace orvel {

// bytes -> text: valid UTF-8 as itself (a leading U+FEFF and a literal U+FFFD included:
// nothing is ever dropped); each byte that is not part of valid UTF-8 becomes the lone low
// surrogate U+DC00 + byte (U+DC80..U+DCFF). Overlong forms, UTF-8-encoded surrogates
// (ED A0..BF xx), code points above U+10FFFF and truncated sequences are not valid UTF-8.
QString DecodeName(QByteArrayView bytes);

// text -> bytes, the exact inverse: EncodeName(DecodeName(b)) == b for every byte string b.
// A lone U+DC80..U+DCFF becomes its byte; other lone surrogates (which DecodeName never
// produces) become the UTF-8 of U+FFFD.
QByteArray EncodeName(QStringView text);

// Whether every byte is ASCII, as almost every name is: such a name is its own text, and
// Qt's Latin-1 routines and the byte forms of case mapping take it much faster.
bool IsAscii(QByteArrayView bytes);

// The local path that a URL names (file: URLs only; percent-escapes are decoded to bytes,
// then DecodeName); empty for anything else.
QString LocalPathOfUrl(const QUrl& url);

// The process's working folder (getcwd bytes, decoded); empty when it cannot be read
// (deleted, not reachable).
QString CurrentFolder();

// The user's home folder ($HOME bytes, else the password database), decoded.
QString HomeFolder();

} // namespace orvel
