#pragma once

#include <QColor>
#include <QImage>
#include <QRgb>
#include <optional>

// Routines shared by the shaped form and the bitmap button.

// Colours are compared on red, green and blue only.
inline QRgb ColourKey(QRgb colour) { return colour & 0x00FFFFFFu; }

// A bitmap counts as present when it holds an image.
inline bool HasImage(const QImage& image) { return !image.isNull(); }

// The colour left out when a bitmap is drawn: the one set explicitly, or else
// the bottom-left pixel's colour (white for a monochrome bitmap). Gives the
// low 24 bits.
QRgb TransparentKey(const QImage& image, const std::optional<QColor>& explicitColour);

// A copy of `image` in which every pixel of the key colour is fully
// transparent and every other pixel opaque, ready to be drawn over anything.
QImage WithoutColour(const QImage& image, QRgb key);

// The embossed look of a disabled image: on a background of `face`, the
// image's mask once in white one pixel right of and below its place, then in
// `shadow` at its place. The mask holds the pixels that are neither of the
// key colour nor white (white pixels are the highlights, which stay face).
QImage EmbossedImage(const QImage& image, QRgb key, const QColor& face, const QColor& shadow);
