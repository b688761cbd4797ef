#include "app/outsidefiles.h"

#include <QFileInfo>

TOutsideFiles SortOutsideFiles(const QStringList& files) {
    TOutsideFiles sorted;
    for (const QString& file : files) {
        if (file.isEmpty()) continue;
        const QString full = QFileInfo(file).absoluteFilePath();
        if (QFileInfo(file).suffix().compare(QLatin1String("mor"), Qt::CaseInsensitive) == 0) {
            if (sorted.project.isEmpty()) sorted.project = full;
        } else if (sorted.pictures.size() < 2) {
            sorted.pictures << full;
        }
    }
    if (!sorted.project.isEmpty()) sorted.pictures.clear();
    return sorted;
}

QStringList LocalFiles(const QList<QUrl>& urls) {
    QStringList files;
    for (const QUrl& url : urls)
        if (url.isLocalFile()) files << url.toLocalFile();
    return files;
}
