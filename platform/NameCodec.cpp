// Names decoded from bytes and encoded back byte for byte, and the working and home folders.

#include "platform/NameCodec.h"

#include <QSysInfo>
#include <QUrl>

#include <cerrno>
#include <cstring>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace orvel {

namespace {

bool isAscii(const char16_t* p, qsizetype n)
{
    for (qsizetype i = 0; i < n; ++i)
        if (p[i] >= 0x80)
            return false;
    return true;
}

// The length of the well-formed UTF-8 sequence that starts at `p` (of `n` bytes) and
// its code point; 0 when none starts there. The second byte's range is what rules out
// overlong forms (E0, F0), encoded surrogates (ED) and code points past U+10FFFF (F4).
int sequenceAt(const uchar* p, qsizetype n, char32_t& cp)
{
    const uchar b = p[0];
    int len;
    uchar lo = 0x80, hi = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) {
        len = 2;
        cp = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
        len = 3;
        cp = b & 0x0F;
        if (b == 0xE0)
            lo = 0xA0;
        else if (b == 0xED)
            hi = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        len = 4;
        cp = b & 0x07;
        if (b == 0xF0)
            lo = 0x90;
        else if (b == 0xF4)
            hi = 0x8F;
    } else {
        return 0;
    }
    if (n < len || p[1] < lo || p[1] > hi)
        return 0;
    cp = (cp << 6) | (p[1] & 0x3F);
    for (int k = 2; k < len; ++k) {
        if ((p[k] & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (p[k] & 0x3F);
    }
    return len;
}

char* putUtf8(char* d, char32_t cp)
{
    if (cp < 0x80) {
        *d++ = char(cp);
    } else if (cp < 0x800) {
        *d++ = char(0xC0 | (cp >> 6));
        *d++ = char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        *d++ = char(0xE0 | (cp >> 12));
        *d++ = char(0x80 | ((cp >> 6) & 0x3F));
        *d++ = char(0x80 | (cp & 0x3F));
    } else {
        *d++ = char(0xF0 | (cp >> 18));
        *d++ = char(0x80 | ((cp >> 12) & 0x3F));
        *d++ = char(0x80 | ((cp >> 6) & 0x3F));
        *d++ = char(0x80 | (cp & 0x3F));
    }
    return d;
}

} // namespace

bool IsAscii(QByteArrayView bytes)
{
    const char* p = bytes.data();
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    for (; i + 8 <= n; i += 8) {
        quint64 word = 0; // zeroed: a word read unset would decide by chance
        std::memcpy(&word, p + i, 8);
        if (word & 0x8080808080808080ULL)
            return false;
    }
    for (; i < n; ++i)
        if (uchar(p[i]) & 0x80)
            return false;
    return true;
}

QString DecodeName(QByteArrayView bytes)
{
    const qsizetype n = bytes.size();
    if (IsAscii(bytes))
        return QString::fromLatin1(bytes.data(), n);

    // Every byte gives at most one UTF-16 unit (a four-byte sequence gives two).
    const auto* p = reinterpret_cast<const uchar*>(bytes.data());
    QString out(n, Qt::Uninitialized);
    char16_t* d = reinterpret_cast<char16_t*>(out.data());
    for (qsizetype i = 0; i < n;) {
        const uchar b = p[i];
        char32_t cp = 0;
        const int len = b < 0x80 ? 0 : sequenceAt(p + i, n - i, cp);
        if (b < 0x80) {
            *d++ = b;
            ++i;
        } else if (len == 0) {
            // Not UTF-8: keep the byte itself, as a code point that no valid text holds.
            *d++ = char16_t(0xDC00 + b);
            ++i;
        } else {
            if (cp >= 0x10000) {
                *d++ = QChar::highSurrogate(cp);
                *d++ = QChar::lowSurrogate(cp);
            } else {
                *d++ = char16_t(cp);
            }
            i += len;
        }
    }
    out.truncate(d - reinterpret_cast<const char16_t*>(out.constData()));
    return out;
}

QByteArray EncodeName(QStringView text)
{
    const qsizetype n = text.size();
    const char16_t* p = text.utf16();
    if (isAscii(p, n))
        return text.toLatin1();

    // Every UTF-16 unit gives at most three bytes (a pair of them gives four).
    QByteArray out(3 * n, Qt::Uninitialized);
    char* d = out.data();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = p[i];
        if (QChar::isHighSurrogate(u) && i + 1 < n && QChar::isLowSurrogate(p[i + 1])) {
            d = putUtf8(d, QChar::surrogateToUcs4(u, p[i + 1]));
            ++i;
        } else if (u >= 0xDC80 && u <= 0xDCFF) {
            *d++ = char(u - 0xDC00);
        } else if (QChar::isSurrogate(u)) {
            d = putUtf8(d, 0xFFFD);
        } else {
            d = putUtf8(d, u);
        }
    }
    out.truncate(d - out.constData());
    return out;
}

QString LocalPathOfUrl(const QUrl& url)
{
    if (!url.isValid() || !url.isLocalFile())
        return {};
    // file://host/path names a file on that host; only this machine's are local.
    const QString host = url.host();
    if (!host.isEmpty() && host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) != 0
        && host.compare(QSysInfo::machineHostName(), Qt::CaseInsensitive) != 0)
        return {};
    // The encoded form keeps the escapes of bytes that are not UTF-8 as they are.
    return DecodeName(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()));
}

QString CurrentFolder()
{
    std::vector<char> buffer(4096);
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE)
            return {};
        buffer.resize(buffer.size() * 2);
    }
    // Older C libraries mark a folder outside this process's root with "(unreachable)".
    if (buffer[0] != '/')
        return {};
    return DecodeName(QByteArrayView(buffer.data()));
}

QString HomeFolder()
{
    const QByteArray home = qgetenv("HOME");
    if (!home.isEmpty())
        return DecodeName(home);
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? size_t(size) : 16384);
    passwd entry;
    passwd* found = nullptr;
    while (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == ERANGE)
        buffer.resize(buffer.size() * 2);
    return found && found->pw_dir ? DecodeName(QByteArrayView(found->pw_dir)) : QString();
}

} // namespace orvel
