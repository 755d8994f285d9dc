#include "SkinCommon.h"

#include "SkinRules.h"

QRgb TransparentKey(const QImage& image, const std::optional<QColor>& explicitColour) {
    std::optional<uint32_t> colour;
    if (explicitColour) {
        colour = explicitColour->rgb();
    }
    if (image.isNull()) {
        return PickTransparentKey(colour, true, 0);
    }
    return PickTransparentKey(colour, image.depth() == 1, image.pixel(0, image.height() - 1));
}

QImage WithoutColour(const QImage& image, QRgb key) {
    QImage result = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < result.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(result.scanLine(y));
        for (int x = 0; x < result.width(); ++x) {
            line[x] = ColourKey(line[x]) == key ? qRgba(0, 0, 0, 0) : (line[x] | 0xFF000000u);
        }
    }
    return result;
}

QImage EmbossedImage(const QImage& image, QRgb key, const QColor& face, const QColor& shadow) {
    const QImage source = image.convertToFormat(QImage::Format_RGB32);
    QImage result(source.size(), QImage::Format_RGB32);
    result.fill(face);
    const auto inMask = [&](int x, int y) {
        const QRgb colour = ColourKey(source.pixel(x, y));
        return colour != key && colour != ColourKey(qRgb(255, 255, 255));
    };
    const int width = source.width();
    const int height = source.height();
    for (int y = 0; y + 1 < height; ++y) {
        for (int x = 0; x + 1 < width; ++x) {
            if (inMask(x, y)) {
                result.setPixel(x + 1, y + 1, qRgb(255, 255, 255));
            }
        }
    }
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (inMask(x, y)) {
                result.setPixel(x, y, shadow.rgb());
            }
        }
    }
    return result;
}
