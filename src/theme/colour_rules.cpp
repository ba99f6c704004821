#include "theme/colour_rules.h"

#include <algorithm>
#include <cmath>

namespace tl {

double Luminance(const QColor &colour) {
  return 0.299 * colour.red() + 0.587 * colour.green() + 0.114 * colour.blue();
}

int RoundedLuminance(const QColor &colour) {
  return static_cast<int>(std::lround(Luminance(colour)));
}

QColor Blend(const QColor &a, const QColor &b, double w) {
  w = std::clamp(w, 0.0, 1.0);
  const auto mix = [w](int x, int y) {
    return static_cast<int>(std::lround(w * x + (1.0 - w) * y));
  };
  return QColor(mix(a.red(), b.red()), mix(a.green(), b.green()), mix(a.blue(), b.blue()));
}

QColor AutomaticTextColour(const QColor &background) {
  const int l = RoundedLuminance(background);
  if (l >= 129) {
    return QColor(0, 0, 0);
  }
  if (l >= 81 && l <= 127) {
    return QColor(255, 255, 255);
  }
  return QColor(220, 220, 220);
}

double RelativeLuminance(const QColor &colour) {
  const auto linear = [](int channel) {
    const double c = channel / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
  };
  const QColor rgb = colour.toRgb();
  return 0.2126 * linear(rgb.red()) + 0.7152 * linear(rgb.green()) + 0.0722 * linear(rgb.blue());
}

double ContrastRatio(const QColor &a, const QColor &b) {
  const double la = RelativeLuminance(a);
  const double lb = RelativeLuminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor ReadableOn(const QColor &colour, const QColor &background, double ratio) {
  const QColor target =
      RelativeLuminance(background) < 0.18 ? QColor(255, 255, 255) : QColor(0, 0, 0);
  QColor out = colour.toRgb();
  for (int step = 1; step <= 20 && ContrastRatio(out, background) < ratio; ++step) {
    out = Blend(target, colour, step * 0.05);
  }
  return out;
}

QColor SoftBorderColour(const QColor &text, const QColor &background) {
  QColor soft = Blend(text, background, 0.25);
  for (double w = 0.3; w <= 1.0001 && ContrastRatio(soft, background) < kBorderContrast;
       w += 0.05) {
    soft = Blend(text, background, w);
  }
  return soft;
}

QColor HotBorderColour(const QColor &text, const QColor &background) {
  return Blend(text, background, 0.6);
}

bool UsesLightLook(const QColor &background, const QColor &fallback) {
  return Luminance(background.isValid() ? background : fallback) > 128.0;
}

QColor PanelColour(const QColor &base) {
  const int step = Luminance(base) > 128.0 ? -20 : 20;
  const auto shift = [step](int c) { return std::clamp(c + step, 0, 255); };
  return QColor(shift(base.red()), shift(base.green()), shift(base.blue()));
}

int BorderWidth(int mode) {
  if (mode & BorderSunken) {
    return 2;
  }
  return (mode & (BorderInText | BorderThin | BorderEtched)) ? 1 : 0;
}

QColor BorderColour(int mode, bool hot, const QColor &text, const QColor &soft,
                    const QColor &hotColour) {
  if (hot && (mode & BorderReacts)) {
    return hotColour;
  }
  return (mode & BorderInText) ? text : soft;
}

} // namespace tl
