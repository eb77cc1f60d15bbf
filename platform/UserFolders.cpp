#include "platform/UserFolders.h"

#include <QDir>
#include <QtGlobal>

namespace {

// What an environment variable holds, in words, when it is no absolute folder; empty when it is.
QString Unusable(const char* variable) {
    const QString value = qEnvironmentVariable(variable);
    if (value.isEmpty()) {
        return QStringLiteral("$%1 is not set").arg(QLatin1String(variable));
    }
    return QDir::isAbsolutePath(value)
               ? QString()
               : QStringLiteral("$%1 is not an absolute path").arg(QLatin1String(variable));
}

UserFolder BaseFolder(const char* variable, const QString& underHome) {
    const QString notThere = Unusable(variable);
    if (notThere.isEmpty()) {
        return {QDir::cleanPath(qEnvironmentVariable(variable)), QString()};
    }
    const QString homeNotThere = Unusable("HOME");
    if (homeNotThere.isEmpty()) {
        return {QDir::cleanPath(qEnvironmentVariable("HOME") + '/' + underHome), QString()};
    }
    return {QString(), notThere + QStringLiteral(", and ") + homeNotThere};
}

}  // namespace

UserFolder ConfigHome() {
    return BaseFolder("XDG_CONFIG_HOME", QStringLiteral(".config"));
}

UserFolder DataHome() {
    return BaseFolder("XDG_DATA_HOME", QStringLiteral(".local/share"));
}
