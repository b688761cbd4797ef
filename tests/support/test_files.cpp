#include "support/test_files.h"

#include <QDir>

namespace testing_support {

QString OutDir(const QString& testName) {
    QDir dir(QStringLiteral(VELLORA_TEST_OUT "/") + testName);
    dir.removeRecursively();
    dir.mkpath(QStringLiteral("."));
    return dir.absolutePath();
}

QString SaveFailure(const QString& name, const QImage& actual, const QImage& expected) {
    const QString dir = OutDir(QStringLiteral("failures"));
    actual.save(dir + QLatin1Char('/') + name + QStringLiteral("-actual.png"));
    if (!expected.isNull())
        expected.save(dir + QLatin1Char('/') + name + QStringLiteral("-expected.png"));
    return dir;
}

}  // namespace testing_support
