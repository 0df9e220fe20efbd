// The program as the desktop knows it: the window's icon in every installed size, and the
// application's desktop file name and icon.
#include "app/app_identity.h"
#include "app/tarnel.h"
#include "window_doubles.h"

#include <QApplication>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <gtest/gtest.h>
#include <memory>

namespace app {
namespace {

constexpr int kIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

// Pixels that are neither transparent nor all one colour: a picture, not an empty or
// placeholder square.
bool LooksDrawn(const QPixmap& pixmap) {
    const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    int opaque = 0;
    int transparent = 0;
    bool varied = false;
    const QRgb first = image.pixel(image.width() / 2, image.height() / 2);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            (qAlpha(pixel) == 0 ? transparent : opaque) += 1;
            varied = varied || (qAlpha(pixel) == 255 && pixel != first);
        }
    }
    return opaque > image.width() * image.height() / 2 && transparent > 0 && varied;
}

TEST(AppIdentity, IconHasEveryInstalledSize) {
    const QIcon icon = ApplicationIcon();
    ASSERT_FALSE(icon.isNull());
    const QList<QSize> sizes = icon.availableSizes();
    EXPECT_EQ(sizes.size(), static_cast<qsizetype>(std::size(kIconSizes)));
    for (int size : kIconSizes) {
        SCOPED_TRACE(size);
        EXPECT_TRUE(sizes.contains(QSize(size, size)));
        const QPixmap pixmap = icon.pixmap(QSize(size, size), 1.0);
        ASSERT_FALSE(pixmap.isNull());
        EXPECT_EQ(pixmap.size(), QSize(size, size));
        EXPECT_TRUE(LooksDrawn(pixmap));
    }
}

TEST(AppIdentity, WindowShowsTheProgramIcon) {
    TTarnel window(std::make_unique<test::RecordingComPort>(),
                   std::make_unique<test::RecordingDataPacket>());
    const QIcon icon = window.windowIcon();
    ASSERT_FALSE(icon.isNull());
    EXPECT_EQ(icon.availableSizes(), ApplicationIcon().availableSizes());
    EXPECT_EQ(icon.pixmap(QSize(32, 32), 1.0).toImage(),
              ApplicationIcon().pixmap(QSize(32, 32), 1.0).toImage());
}

TEST(AppIdentity, ApplicationCarriesTheDesktopIdAndIcon) {
    SetApplicationIdentity();
    EXPECT_EQ(ApplicationId(), QStringLiteral("io.github.tarnel.DataScan"));
    EXPECT_EQ(QGuiApplication::desktopFileName(), ApplicationId());
    EXPECT_FALSE(QApplication::windowIcon().isNull());
    // Every other window (dialogs, the print preview) takes the application's icon.
    QWidget dialog;
    EXPECT_EQ(dialog.windowIcon().availableSizes(), ApplicationIcon().availableSizes());
}

} // namespace
} // namespace app
