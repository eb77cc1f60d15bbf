#include "platform/Config.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QStringTokenizer>

#include <cerrno>
#include <cstdlib>
#include <memory>

namespace {

// Entries outside any group live in this section, as QSettings files them.
const QString GENERAL_SECTION = QStringLiteral("General");

bool IsPlainKeyCharacter(char16_t ch) {
    return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') ||
           ch == '_' || ch == '-' || ch == '.';
}

// Key paths are written with backslashes; anything but letters, digits, _ - . as %XX or %UXXXX.
QByteArray EscapedKey(const QString& key) {
    QByteArray escaped;
    for (const QChar c : key) {
        const char16_t ch = c.unicode();
        if (ch == '/') {
            escaped += '\\';
        } else if (IsPlainKeyCharacter(ch)) {
            escaped += char(ch);
        } else if (ch <= 0xFF) {
            escaped += '%' + QByteArray::number(ch, 16).rightJustified(2, '0').toUpper();
        } else {
            escaped += "%U" + QByteArray::number(ch, 16).rightJustified(4, '0').toUpper();
        }
    }
    return escaped;
}

QString UnescapedKey(const QString& escaped) {
    QString key;
    for (qsizetype i = 0; i < escaped.size(); ++i) {
        const QChar ch = escaped.at(i);
        if (ch == '\\') {
            key += '/';
            continue;
        }
        if (ch == '%') {
            const bool wide = escaped.mid(i + 1, 1) == "U";
            const qsizetype start = i + (wide ? 2 : 1);
            const qsizetype digits = wide ? 4 : 2;
            bool ok = false;
            const uint code = escaped.mid(start, digits).toUInt(&ok, 16);
            if (ok && start + digits <= escaped.size()) {
                key += QChar(char16_t(code));
                i = start + digits - 1;
                continue;
            }
        }
        key += ch;
    }
    return key;
}

// Control characters, and surrogates, which UTF-8 cannot hold on their own, are written as \x
// escapes.
bool NeedsHexEscape(QChar c) {
    return c.unicode() < 0x20 || c.isSurrogate();
}

bool NeedsQuotes(const QString& text) {
    if (text.front().isSpace() || text.back().isSpace()) {
        return true;
    }
    for (const QChar c : text) {
        if (c == ';' || c == ',' || c == '=' || c == '"' || c == '\\' || NeedsHexEscape(c)) {
            return true;
        }
    }
    return false;
}

// Characters a quoted value writes as a backslash and a letter.
struct ValueEscape {
    char16_t character;
    char16_t letter;
};
constexpr ValueEscape VALUE_ESCAPES[] = {
    {'"', '"'}, {'\\', '\\'}, {'\n', 'n'}, {'\r', 'r'}, {'\t', 't'},
};

const ValueEscape* FindEscape(char16_t ValueEscape::*field, char16_t value) {
    for (const ValueEscape& escape : VALUE_ESCAPES) {
        if (escape.*field == value) {
            return &escape;
        }
    }
    return nullptr;
}

bool IsHexDigit(QChar c) {
    return c.isDigit() || (c.toLower() >= 'a' && c.toLower() <= 'f');
}

// Plain text stays plain; text that the INI reader would split, cut or trim goes in quotes.
QByteArray EscapedValue(const QString& text) {
    if (text.isEmpty()) {
        return QByteArray();
    }
    // A leading @ marks typed values; a literal one is doubled.
    const QString stored = text.startsWith('@') ? '@' + text : text;
    if (!NeedsQuotes(stored)) {
        return stored.toUtf8();
    }
    QString escaped = "\"";
    bool afterHexEscape = false;
    for (const QChar c : stored) {
        const ValueEscape* escape = FindEscape(&ValueEscape::character, c.unicode());
        // A hex escape runs on over hex digits, so a digit right after one is escaped too.
        if ((escape == nullptr && NeedsHexEscape(c)) || (afterHexEscape && IsHexDigit(c))) {
            escaped += "\\x" + QString::number(c.unicode(), 16);
            afterHexEscape = true;
            continue;
        }
        afterHexEscape = false;
        if (escape != nullptr) {
            escaped += QChar('\\');
            escaped += QChar(escape->letter);
        } else {
            escaped += c;
        }
    }
    return (escaped + '"').toUtf8();
}

// The text of a value as written after '=', without the blanks around it. Escapes count inside
// and outside quotes; a ';' outside quotes starts a comment.
QString UnescapedValue(const QString& raw) {
    QString text;
    bool quoted = false;
    // Unquoted blanks at the end of the text so far: those before a comment are not part of it.
    qsizetype trailingBlanks = 0;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const QChar c = raw.at(i);
        const bool blank = !quoted && c.isSpace();
        if (c == '"') {
            quoted = !quoted;
        } else if (!quoted && c == ';') {
            text.chop(trailingBlanks);
            break;
        } else if (c == '\\' && i + 1 < raw.size()) {
            const QChar letter = raw.at(++i);
            if (letter == 'x') {
                qsizetype end = i + 1;
                while (end < raw.size() && IsHexDigit(raw.at(end))) {
                    ++end;
                }
                text += QChar(char16_t(raw.mid(i + 1, end - i - 1).toUInt(nullptr, 16)));
                i = end - 1;
            } else {
                const ValueEscape* escape = FindEscape(&ValueEscape::letter, letter.unicode());
                text += escape != nullptr ? QChar(escape->character) : letter;
            }
        } else {
            text += c;
        }
        trailingBlanks = blank ? trailingBlanks + 1 : 0;
    }
    if (text.startsWith("@@")) {
        text.remove(0, 1);
    }
    return text;
}

}  // namespace

Config::Config(const QString& name)
    : path(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + '/' + name +
           ".ini"),
      target(path) {
    load();
}

Config::~Config() {
    if (changed) {
        save();
    }
}

void Config::load() {
    QByteArray contents;
    state = checkedContents(contents);
    if (state == Status::Usable && !parse(contents)) {
        state = Status::Damaged;
        sections.clear();
    }
}

// The node is looked at before it is opened: opening a FIFO waits for a writer, and opening a
// device may do anything.
Config::Status Config::checkedContents(QByteArray& contents) {
    struct stat node {};
    if (lstat(QFile::encodeName(path).constData(), &node) != 0) {
        return errno == ENOENT ? Status::Usable : Status::Unreadable;
    }
    if (S_ISLNK(node.st_mode)) {
        const std::unique_ptr<char, decltype(&free)> resolved(
            realpath(QFile::encodeName(path).constData(), nullptr), &free);
        if (resolved == nullptr) {
            return errno == EACCES ? Status::Unreadable : Status::BrokenLink;
        }
        target = QFile::decodeName(resolved.get());
    }
    const QByteArray file = QFile::encodeName(target);
    if (stat(file.constData(), &node) != 0) {
        return Status::Unreadable;
    }
    if (S_ISDIR(node.st_mode)) {
        return Status::Folder;
    }
    if (!S_ISREG(node.st_mode)) {
        return Status::NotAFile;
    }
    if (node.st_size > MAX_FILE_BYTES) {
        return Status::TooLarge;
    }
    // Not blocking, and checked again once open, in case the node was swapped in the meantime.
    const int descriptor = open(file.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    QFile reader;
    if (descriptor < 0 || !reader.open(descriptor, QIODevice::ReadOnly, QFile::AutoCloseHandle)) {
        if (descriptor >= 0) {
            close(descriptor);
        }
        return Status::Unreadable;
    }
    if (fstat(descriptor, &node) != 0 || !S_ISREG(node.st_mode)) {
        return Status::NotAFile;
    }
    contents = reader.read(MAX_FILE_BYTES + 1);
    if (reader.error() != QFileDevice::NoError) {
        return Status::Unreadable;
    }
    return contents.size() > MAX_FILE_BYTES ? Status::TooLarge : Status::Usable;
}

// False when any line is not part of the INI layout: a file that is not a store as a whole could
// be anything the player keeps, and would be lost when written back.
bool Config::parse(const QByteArray& contents) {
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder(contents);
    if (decoder.hasError() || contents.contains('\0')) {
        return false;
    }
    QString section = GENERAL_SECTION;
    for (const QStringView rawLine : QStringTokenizer(text, u'\n')) {
        const QStringView line = rawLine.trimmed();
        if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#')) {
            continue;
        }
        if (line.startsWith(u'[')) {
            if (!line.endsWith(u']')) {
                return false;
            }
            section = UnescapedKey(line.mid(1, line.size() - 2).trimmed().toString());
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (equals <= 0) {
            return false;
        }
        sections[section].insert(UnescapedKey(line.left(equals).trimmed().toString()),
                                 UnescapedValue(line.mid(equals + 1).trimmed().toString()));
    }
    return true;
}

void Config::setGroup(const QString& newGroup) {
    group = newGroup;
}

QString Config::sectionName() const {
    return group.isEmpty() ? GENERAL_SECTION : group;
}

QString Config::entryKey(const QString& key) {
    QString entry = key;
    while (entry.startsWith('/')) {
        entry.remove(0, 1);
    }
    return entry;
}

QString Config::readEntry(const QString& key, const QString& defaultValue) const {
    return sections.value(sectionName()).value(entryKey(key), defaultValue);
}

void Config::writeEntry(const QString& key, const QString& text) {
    sections[sectionName()].insert(entryKey(key), text);
    changed = true;
}

QMap<QString, QString> Config::allEntries() const {
    QMap<QString, QString> entries;
    for (auto section = sections.cbegin(); section != sections.cend(); ++section) {
        for (auto entry = section->cbegin(); entry != section->cend(); ++entry) {
            entries.insert(section.key() + '/' + entry.key(), entry.value());
        }
    }
    return entries;
}

bool Config::save() {
    if (state != Status::Usable || !QDir().mkpath(QFileInfo(target).absolutePath())) {
        return false;
    }
    QByteArray contents;
    for (auto section = sections.cbegin(); section != sections.cend(); ++section) {
        if (!contents.isEmpty()) {
            contents += '\n';
        }
        contents += '[' + EscapedKey(section.key()) + "]\n";
        for (auto entry = section->cbegin(); entry != section->cend(); ++entry) {
            contents += EscapedKey(entry.key()) + '=' + EscapedValue(entry.value()) + '\n';
        }
    }
    // A file too large to be read back is not written.
    if (contents.size() > MAX_FILE_BYTES) {
        return false;
    }
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    // commit() does not report a failed final flush and would put a cut file in place of the old
    // one, so every byte must have reached the file before it is committed.
    if (file.write(contents) != contents.size() || !file.flush()) {
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        return false;
    }
    changed = false;
    return true;
}
