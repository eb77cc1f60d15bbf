#include "platform/Config.h"

#include <QDir>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringTokenizer>
#include <algorithm>

#include "platform/TrustedFile.h"
#include "platform/UserFolders.h"

namespace {

// Entries outside any group live in this section, as QSettings files them.
const QString GENERAL_SECTION = QStringLiteral("General");
const QByteArray BYTE_ORDER_MARK = QByteArrayLiteral("\xEF\xBB\xBF");

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

// An entry's line with new text: everything up to the text (key, '=' and the blanks after it) and
// the line's own end are kept.
QByteArray RewrittenEntry(const QByteArray& raw, const QString& text) {
    qsizetype valueStart = raw.indexOf('=') + 1;
    while (valueStart < raw.size() && (raw.at(valueStart) == ' ' || raw.at(valueStart) == '\t')) {
        ++valueStart;
    }
    return raw.left(valueStart) + EscapedValue(text) + (raw.endsWith('\r') ? "\r" : "");
}

// A file not there yet is a store without entries.
Config::Status StatusOf(TrustedFile::Status status) {
    switch (status) {
        case TrustedFile::Status::Missing:
        case TrustedFile::Status::Usable:
            return Config::Status::Usable;
        case TrustedFile::Status::Folder:
            return Config::Status::Folder;
        case TrustedFile::Status::NotAFile:
            return Config::Status::NotAFile;
        case TrustedFile::Status::BrokenLink:
            return Config::Status::BrokenLink;
        case TrustedFile::Status::TooLarge:
            return Config::Status::TooLarge;
        case TrustedFile::Status::Unreadable:
        case TrustedFile::Status::Unwritable:
            break;
    }
    return Config::Status::Unreadable;
}

}  // namespace

Config::Config(const QString& name, Access access) {
    const UserFolder folder = ConfigHome();
    if (folder.path.isEmpty()) {
        state = Status::NoFolder;
        error = folder.problem;
        return;
    }
    path = folder.path + '/' + name + QStringLiteral(".ini");
    target = path;
    // Without its folder there is no lock to take, and the save says why it cannot be made.
    if (access == Access::Update && QDir().mkpath(folder.path)) {
        lock = std::make_unique<FileLock>(path);
        if (!lock->Acquired()) {
            state = Status::Locked;
            error = lock->Problem();
            return;
        }
    }
    load();
}

Config::~Config() {
    if (changed) {
        save();
    }
}

void Config::load() {
    const TrustedFile::Reading reading = TrustedFile::Read(path, MAX_FILE_BYTES);
    target = reading.node.target;
    state = StatusOf(reading.node.status);
    error = state == Status::Usable ? QString() : reading.node.error;
    if (state == Status::Usable && !parse(reading.contents)) {
        state = Status::Damaged;
        sections.clear();
    }
}

// False when any line is not part of the INI layout: a file that is not a store as a whole could
// be anything the player keeps, and would be lost when written back.
bool Config::parse(const QByteArray& contents) {
    lines.clear();
    sections.clear();
    heldSections.clear();
    // Stateless: a sequence cut off at the end is an error rather than held back for more.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder(contents);
    if (decoder.hasError() || contents.contains('\0')) {
        return false;
    }
    // The decoded lines and the raw ones pair up: a '\n' is one byte and one character.
    const QList<QByteArray> rawLines = contents.split('\n');
    auto raw = rawLines.cbegin();
    QString section = GENERAL_SECTION;
    for (const QStringView decoded : QStringTokenizer(text, u'\n')) {
        Line line{*raw++, QString(), QString(), QString()};
        const QStringView trimmed = decoded.trimmed();
        if (trimmed.startsWith(u'[')) {
            if (!trimmed.endsWith(u']')) {
                return false;
            }
            section = UnescapedKey(trimmed.mid(1, trimmed.size() - 2).trimmed().toString());
            line.section = section;
        } else if (!trimmed.isEmpty() && !trimmed.startsWith(u';') && !trimmed.startsWith(u'#')) {
            const qsizetype equals = trimmed.indexOf(u'=');
            if (equals <= 0) {
                return false;
            }
            line.section = section;
            line.key = UnescapedKey(trimmed.left(equals).trimmed().toString());
            line.value = UnescapedValue(trimmed.mid(equals + 1).trimmed().toString());
            sections[section].insert(line.key, line.value);
        }
        if (!line.section.isEmpty()) {
            heldSections.insert(line.section);
        }
        lines.push_back(std::move(line));
    }
    // What follows the last line break is a last line without one, or nothing (split() always
    // gives at least one piece).
    lastLineOpen = !lines.back().raw.isEmpty();
    if (!lastLineOpen) {
        lines.pop_back();
    }
    blank = std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.isSpace(); });
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
    edits[sectionName()].insert(entryKey(key), text);
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

bool Config::belongsTo(const QString& group) const {
    return blank || heldSections.contains(group.isEmpty() ? GENERAL_SECTION : group);
}

bool Config::save() {
    changed = false;
    if (state != Status::Usable) {
        return false;
    }
    if (edits.isEmpty()) {
        return true;
    }
    // Another program's INI file gets no group of ours added.
    const auto edited = edits.keys();
    if (std::none_of(edited.cbegin(), edited.cend(),
                     [this](const QString& section) { return belongsTo(section); })) {
        error = QStringLiteral("it holds another program's settings");
        return false;
    }
    if (!QDir().mkpath(QFileInfo(target).absolutePath())) {
        error = QStringLiteral("its folder cannot be made");
        return false;
    }
    const QByteArray contents = rewritten();
    const TrustedFile::Node written = TrustedFile::Write(path, contents, MAX_FILE_BYTES);
    if (written.status != TrustedFile::Status::Usable) {
        // Only another program swaps the node between the read and the write.
        error = written.status == TrustedFile::Status::Unwritable
                    ? written.error
                    : QStringLiteral("it was replaced by something that is not a file");
        return false;
    }
    error.clear();
    edits.clear();
    parse(contents);
    return true;
}

// The file as read, line for line, with the entries written since: an entry that stands in the
// file is changed in its own line (its key, the blanks around '=' and its line end kept) and only
// when its text differs; a new one goes after the last line of its section, or in a section of
// its own at the end. Every other line (comments, blank lines, other sections, the order, Windows
// line ends) stays byte for byte.
QByteArray Config::rewritten() const {
    const QByteArray lineEnd = !lines.empty() && lines.front().raw.endsWith('\r') ? "\r\n" : "\n";
    QMap<QString, Section> added = edits;
    QMap<QString, std::size_t> lastLineOf;
    for (std::size_t at = 0; at < lines.size(); ++at) {
        const Line& line = lines[at];
        if (!line.section.isEmpty()) {
            lastLineOf[line.section] = at;
        }
        if (!line.key.isEmpty()) {
            added[line.section].remove(line.key);
        }
    }
    const auto entryLines = [&lineEnd](const Section& entries) {
        QByteArray text;
        for (auto entry = entries.cbegin(); entry != entries.cend(); ++entry) {
            text += EscapedKey(entry.key()) + '=' + EscapedValue(entry.value()) + lineEnd;
        }
        return text;
    };
    QByteArray contents;
    for (std::size_t at = 0; at < lines.size(); ++at) {
        Line line = lines[at];
        // A byte order mark says nothing in UTF-8, and Qt's own INI reader takes a file that starts
        // with one for malformed: the one byte sequence the store drops.
        if (at == 0 && line.raw.startsWith(BYTE_ORDER_MARK)) {
            line.raw.remove(0, BYTE_ORDER_MARK.size());
        }
        const auto edited = edits.constFind(line.section);
        const bool changes = !line.key.isEmpty() && edited != edits.cend() &&
                             edited->contains(line.key) && edited->value(line.key) != line.value;
        contents += changes ? RewrittenEntry(line.raw, edited->value(line.key)) : line.raw;
        if (at + 1 < lines.size() || !lastLineOpen) {
            contents += '\n';
        }
        for (auto section = added.cbegin(); section != added.cend(); ++section) {
            if (lastLineOf.value(section.key(), lines.size()) == at && !section->isEmpty()) {
                contents += (lastLineOpen && at + 1 == lines.size() ? lineEnd : QByteArray()) +
                            entryLines(*section);
            }
        }
    }
    for (auto section = added.cbegin(); section != added.cend(); ++section) {
        if (!lastLineOf.contains(section.key()) && !section->isEmpty()) {
            if (!contents.isEmpty()) {
                contents += (contents.endsWith('\n') ? QByteArray() : lineEnd) + lineEnd;
            }
            contents += '[' + EscapedKey(section.key()) + ']' + lineEnd + entryLines(*section);
        }
    }
    return contents;
}
