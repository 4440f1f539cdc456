#pragma once
// Where the documentation's pictures go: the folder ZEL_SCREENSHOT_DIR names,
// or a temporary one. Either way every picture is drawn, and when the
// program ends each one written by it must be a real picture: it loads,
// and it is not a single colour (a window that failed to paint).
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace zel::test {

class PictureFolder {
public:
    PictureFolder() : path_(qEnvironmentVariable("ZEL_SCREENSHOT_DIR")) {
        if (path_.isEmpty())
            path_ = temporary_.path();
        QDir().mkpath(path_);
    }
    ~PictureFolder() {
        int drawn = 0;
        const QFileInfoList files = QDir(path_).entryInfoList({"*.png"}, QDir::Files);
        for (const QFileInfo& f : files) {
            if (f.lastModified() < started_)
                continue;
            ++drawn;
            const QImage picture(f.filePath());
            EXPECT_FALSE(picture.isNull()) << f.fileName().toStdString();
            EXPECT_FALSE(singleColour(picture)) << f.fileName().toStdString();
        }
        EXPECT_GT(drawn, 0) << "no picture was written to " << path_.toStdString();
    }
    const QString& path() const { return path_; }

private:
    static bool singleColour(const QImage& image) {
        const QRgb first = image.pixel(0, 0);
        for (int y = 0; y < image.height(); y += 3)
            for (int x = 0; x < image.width(); x += 3)
                if (image.pixel(x, y) != first)
                    return false;
        return true;
    }

    QDateTime started_ = QDateTime::currentDateTime().addSecs(-1);
    QTemporaryDir temporary_;
    QString path_;
};

} // namespace zel::test
