// Writes the printable home blood-pressure record form shipped with the
// program: three days, morning and evening, three readings each time. Run at
// build time: make_form OUTPUT.pdf
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextStream>

#include <cstdio>

namespace {

constexpr int kDpi = 300;
constexpr double kPageWidthMm = 210.0;
constexpr double kMarginMm = 14.0;

int Mm(double mm) { return int(mm * kDpi / 25.4 + 0.5); }

QFont FormFont(double points, QFont::Weight weight = QFont::Normal, bool italic = false) {
  QFont font;
  font.setFamilies(
      {QStringLiteral("Liberation Sans"), QStringLiteral("Arial"), QStringLiteral("DejaVu Sans")});
  font.setPointSizeF(points);
  font.setWeight(weight);
  font.setItalic(italic);
  return font;
}

const QColor kInk(31, 58, 96);
const QColor kRed(196, 30, 50);
const QColor kShade(232, 238, 246);
const QColor kShadeDark(206, 218, 234);
const QColor kGrid(120, 138, 160);

class FormPainter {
public:
  explicit FormPainter(QPainter &p) : p_(p) {}

  // Returns the y after the heading.
  int heading(int y) {
    const int left = Mm(kMarginMm);
    const int width = Mm(kPageWidthMm - 2 * kMarginMm);
    p_.fillRect(QRect(left, y, width, Mm(16)), kInk);
    p_.setPen(Qt::white);
    p_.setFont(FormFont(17, QFont::Bold));
    p_.drawText(QRect(left + Mm(4), y, width - Mm(8), Mm(10)), Qt::AlignLeft | Qt::AlignBottom,
                QStringLiteral("Relevé d'automesure tensionnelle"));
    p_.setFont(FormFont(9.5));
    p_.drawText(QRect(left + Mm(4), y + Mm(10), width - Mm(8), Mm(5)),
                Qt::AlignLeft | Qt::AlignVCenter,
                QStringLiteral("3 jours de suite, le matin et le soir, 3 mesures à chaque fois"));
    return y + Mm(16);
  }

  int identity(int y) {
    const int left = Mm(kMarginMm);
    p_.setFont(FormFont(10));
    p_.setPen(kInk);
    const int line = Mm(7.5);
    field(left, y + line, Mm(110), QStringLiteral("Nom et prénom :"));
    field(left + Mm(114), y + line, Mm(68), QStringLiteral("Date de naissance :"));
    field(left, y + 2 * line, Mm(110), QStringLiteral("Tensiomètre (marque, modèle) :"));
    field(left + Mm(114), y + 2 * line, Mm(68), QStringLiteral("Début le :"));
    field(left, y + 3 * line, Mm(110), QStringLiteral("Médecin :"));
    // Arm used: two boxes to tick.
    const int x = left + Mm(114);
    p_.drawText(QPoint(x, y + 3 * line), QStringLiteral("Bras utilisé :"));
    tickBox(x + Mm(25), y + 3 * line, QStringLiteral("gauche"));
    tickBox(x + Mm(46), y + 3 * line, QStringLiteral("droit"));
    return y + 3 * line + Mm(5);
  }

  int instructions(int y) {
    const int left = Mm(kMarginMm);
    const int width = Mm(kPageWidthMm - 2 * kMarginMm);
    const QStringList lines = {
        QStringLiteral("Mesurez-vous assis(e), au calme, après 5 minutes de repos, le dos appuyé "
                       "et le bras posé sur la table, le brassard à hauteur du cœur."),
        QStringLiteral("Le matin : avant le petit-déjeuner et avant de prendre vos médicaments. "
                       "Le soir : avant le coucher."),
        QStringLiteral("Faites 3 mesures de suite, à 1 minute d'intervalle, sans parler ni "
                       "bouger, et notez les 3 résultats, même ceux qui vous semblent anormaux."),
        QStringLiteral(
            "Utilisez toujours le même bras et le même tensiomètre pendant les 3 jours."),
    };
    p_.setFont(FormFont(9.5, QFont::Bold));
    p_.setPen(kInk);
    const int top = y;
    int cy = y + Mm(6);
    p_.drawText(QPoint(left + Mm(4), cy), QStringLiteral("Comment mesurer ?"));
    cy += Mm(2);
    p_.setFont(FormFont(9));
    for (const QString &text : lines) {
      const QRect box(left + Mm(9), cy, width - Mm(13), Mm(12));
      const QRect used = p_.boundingRect(box, Qt::TextWordWrap | Qt::AlignLeft, text);
      p_.setBrush(kRed);
      p_.setPen(Qt::NoPen);
      p_.drawEllipse(QPoint(left + Mm(6), cy + Mm(2)), Mm(0.8), Mm(0.8));
      p_.setPen(Qt::black);
      p_.drawText(box, Qt::TextWordWrap | Qt::AlignLeft, text);
      cy += used.height() + Mm(1.2);
    }
    p_.setBrush(Qt::NoBrush);
    p_.setPen(QPen(kGrid, Mm(0.3)));
    p_.drawRect(QRect(left, top, width, cy - top + Mm(1)));
    return cy + Mm(1);
  }

  // The readings grid: for each day, a morning and an evening row with three
  // readings of systolic, diastolic and pulse.
  int grid(int y) {
    const int left = Mm(kMarginMm);
    const double dayW = 24, momentW = 16, hourW = 15;
    const double valueW = (kPageWidthMm - 2 * kMarginMm - dayW - momentW - hourW) / 9.0;
    const int head1 = Mm(7), head2 = Mm(9), row = Mm(13);

    auto xAt = [&](double mm) { return left + Mm(mm); };
    const double valuesLeft = dayW + momentW + hourW;

    // First heading row.
    p_.setPen(QPen(kGrid, Mm(0.3)));
    p_.setFont(FormFont(9, QFont::Bold));
    cell(QRectF(xAt(0), y, Mm(dayW), head1 + head2), QStringLiteral("Jour et date"), kShadeDark);
    cell(QRectF(xAt(dayW), y, Mm(momentW), head1 + head2), QStringLiteral("Moment"), kShadeDark);
    cell(QRectF(xAt(dayW + momentW), y, Mm(hourW), head1 + head2), QStringLiteral("Heure"),
         kShadeDark);
    for (int m = 0; m < 3; ++m) {
      cell(QRectF(xAt(valuesLeft + 3 * m * valueW), y, Mm(3 * valueW), head1),
           QStringLiteral("Mesure %1").arg(m + 1), kShadeDark);
      const QString names[3] = {QStringLiteral("Systo-\nlique"), QStringLiteral("Diasto-\nlique"),
                                QStringLiteral("Pouls")};
      p_.setFont(FormFont(7.5, QFont::Bold));
      for (int k = 0; k < 3; ++k) {
        cell(QRectF(xAt(valuesLeft + (3 * m + k) * valueW), y + head1, Mm(valueW), head2), names[k],
             kShade);
      }
      p_.setFont(FormFont(9, QFont::Bold));
    }
    int cy = y + head1 + head2;

    for (int day = 1; day <= 3; ++day) {
      p_.setFont(FormFont(9.5, QFont::Bold));
      const QRectF dayCell(xAt(0), cy, Mm(dayW), 2 * row);
      cell(dayCell, QString(), kShade);
      p_.setPen(kInk);
      p_.drawText(dayCell.adjusted(0, Mm(2), 0, 0), Qt::AlignHCenter | Qt::AlignTop,
                  QStringLiteral("Jour %1").arg(day));
      p_.setFont(FormFont(9));
      p_.drawText(dayCell.adjusted(0, 0, 0, -Mm(3)), Qt::AlignHCenter | Qt::AlignBottom,
                  QStringLiteral("__/__/____"));
      p_.setPen(QPen(kGrid, Mm(0.3)));
      const QString moments[2] = {QStringLiteral("Matin"), QStringLiteral("Soir")};
      for (int half = 0; half < 2; ++half) {
        const int ry = cy + half * row;
        p_.setFont(FormFont(9, QFont::Bold));
        cell(QRectF(xAt(dayW), ry, Mm(momentW), row), moments[half], Qt::white);
        p_.setFont(FormFont(9));
        cell(QRectF(xAt(dayW + momentW), ry, Mm(hourW), row), QStringLiteral("__h__"), Qt::white,
             QColor(150, 160, 175));
        for (int k = 0; k < 9; ++k) {
          const QColor fill = (k / 3) % 2 == 0 ? QColor(Qt::white) : QColor(246, 248, 251);
          cell(QRectF(xAt(valuesLeft + k * valueW), ry, Mm(valueW), row), QString(), fill);
        }
      }
      // A thicker line between days.
      p_.setPen(QPen(kInk, Mm(0.5)));
      p_.drawLine(xAt(0), cy, xAt(kPageWidthMm - 2 * kMarginMm), cy);
      p_.setPen(QPen(kGrid, Mm(0.3)));
      cy += 2 * row;
    }
    p_.setPen(QPen(kInk, Mm(0.5)));
    p_.setBrush(Qt::NoBrush);
    p_.drawRect(QRect(xAt(0), y, Mm(kPageWidthMm - 2 * kMarginMm), cy - y));
    // Units under the grid.
    p_.setPen(kInk);
    p_.setFont(FormFont(8, QFont::Normal, true));
    p_.drawText(QPoint(xAt(0), cy + Mm(4)),
                QStringLiteral("Systolique et diastolique en mmHg (le 1er et le 2e chiffre du "
                               "tensiomètre), pouls en battements par minute."));
    return cy + Mm(6);
  }

  int summary(int y) {
    const int left = Mm(kMarginMm);
    const int width = Mm(kPageWidthMm - 2 * kMarginMm);
    const int height = Mm(22);
    p_.setPen(QPen(kGrid, Mm(0.3)));
    p_.setBrush(kShade);
    p_.drawRect(QRect(left, y, width, height));
    p_.setBrush(Qt::NoBrush);
    p_.setPen(kInk);
    p_.setFont(FormFont(9.5, QFont::Bold));
    p_.drawText(QPoint(left + Mm(4), y + Mm(6)),
                QStringLiteral("Moyenne des 18 mesures (à calculer ou à faire calculer)"));
    p_.setFont(FormFont(9.5));
    field(left + Mm(4), y + Mm(14), Mm(55), QStringLiteral("Systolique :"), QStringLiteral("mmHg"));
    field(left + Mm(64), y + Mm(14), Mm(55), QStringLiteral("Diastolique :"),
          QStringLiteral("mmHg"));
    field(left + Mm(124), y + Mm(14), Mm(54), QStringLiteral("Pouls :"), QStringLiteral("/min"));
    p_.setFont(FormFont(8.5, QFont::Normal, true));
    p_.drawText(QPoint(left + Mm(4), y + Mm(19.5)),
                QStringLiteral("Repère : en automesure, une moyenne égale ou supérieure à 135/85 "
                               "mmHg doit être signalée à votre médecin."));
    return y + height + Mm(4);
  }

  int remarks(int y) {
    const int left = Mm(kMarginMm);
    const int width = Mm(kPageWidthMm - 2 * kMarginMm);
    const int height = Mm(30);
    p_.setPen(QPen(kGrid, Mm(0.3)));
    p_.drawRect(QRect(left, y, width, height));
    p_.setPen(kInk);
    p_.setFont(FormFont(9.5, QFont::Bold));
    p_.drawText(QPoint(left + Mm(4), y + Mm(6)), QStringLiteral("Remarques"));
    p_.setFont(FormFont(8.5, QFont::Normal, true));
    p_.drawText(QPoint(left + Mm(25), y + Mm(6)),
                QStringLiteral("(malaise, oubli de traitement, mesure faite après un effort, "
                               "changement de tensiomètre...)"));
    p_.setPen(QPen(QColor(190, 198, 210), Mm(0.2), Qt::DotLine));
    for (int k = 1; k <= 3; ++k) {
      const int ly = y + Mm(6) + k * Mm(6.5);
      p_.drawLine(left + Mm(4), ly, left + width - Mm(4), ly);
    }
    return y + height + Mm(4);
  }

  void footer(int pageHeight) {
    const int left = Mm(kMarginMm);
    const int width = Mm(kPageWidthMm - 2 * kMarginMm);
    const int y = pageHeight - Mm(kMarginMm) - Mm(10);
    p_.setPen(QPen(kRed, Mm(0.4)));
    p_.drawLine(left, y, left + width, y);
    p_.setPen(kInk);
    p_.setFont(FormFont(8.5, QFont::Bold));
    p_.drawText(QRect(left, y + Mm(1), width, Mm(5)), Qt::AlignLeft | Qt::AlignVCenter,
                QStringLiteral("Apportez cette fiche à votre prochaine consultation."));
    p_.setFont(FormFont(7.5));
    p_.drawText(QRect(left, y + Mm(5), width, Mm(5)), Qt::AlignLeft | Qt::AlignVCenter,
                QStringLiteral("Fiche fournie avec Tensiolog. Elle ne remplace pas l'avis de "
                               "votre médecin, seul à même d'interpréter vos mesures."));
  }

private:
  void field(int x, int baseline, int width, const QString &label, const QString &unit = {}) {
    p_.setPen(kInk);
    p_.drawText(QPoint(x, baseline), label);
    const int start = x + p_.fontMetrics().horizontalAdvance(label) + Mm(2);
    int end = x + width;
    if (!unit.isEmpty()) {
      end -= p_.fontMetrics().horizontalAdvance(unit) + Mm(1.5);
      p_.drawText(QPoint(end + Mm(1.5), baseline), unit);
    }
    p_.setPen(QPen(kGrid, Mm(0.25), Qt::DotLine));
    p_.drawLine(start, baseline + Mm(0.6), end, baseline + Mm(0.6));
    p_.setPen(kInk);
  }

  void tickBox(int x, int baseline, const QString &label) {
    const int side = Mm(3.2);
    p_.setPen(QPen(kInk, Mm(0.3)));
    p_.setBrush(Qt::white);
    p_.drawRect(QRect(x, baseline - side + Mm(0.3), side, side));
    p_.setBrush(Qt::NoBrush);
    p_.drawText(QPoint(x + side + Mm(1.5), baseline), label);
  }

  void cell(const QRectF &rect, const QString &text, const QColor &fill,
            const QColor &textColour = QColor(31, 58, 96)) {
    const QPen pen = p_.pen();
    p_.fillRect(rect, fill);
    p_.drawRect(rect);
    if (!text.isEmpty()) {
      p_.setPen(textColour);
      p_.drawText(rect, Qt::AlignCenter, text);
      p_.setPen(pen);
    }
  }

  QPainter &p_;
};

} // namespace

int main(int argc, char *argv[]) {
  // Runs during the build, where there is no display.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QGuiApplication app(argc, argv);
  const QStringList args = QGuiApplication::arguments();
  if (args.size() != 2) {
    std::fprintf(stderr, "usage: make_form OUTPUT.pdf\n");
    return 2;
  }

  QSaveFile file(args.at(1));
  if (!file.open(QIODevice::WriteOnly)) {
    std::fprintf(stderr, "make_form: cannot write %s\n", qPrintable(args.at(1)));
    return 1;
  }
  {
    QPdfWriter writer(&file);
    writer.setResolution(kDpi);
    writer.setPageLayout(
        QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
    writer.setTitle(QStringLiteral("Relevé d'automesure tensionnelle"));
    writer.setCreator(QStringLiteral("Tensiolog"));
    QPainter painter(&writer);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    FormPainter form(painter);
    int y = Mm(kMarginMm);
    y = form.heading(y) + Mm(2);
    y = form.identity(y) + Mm(2);
    y = form.instructions(y) + Mm(3);
    y = form.grid(y) + Mm(2);
    y = form.summary(y);
    form.remarks(y);
    form.footer(writer.height());
    if (!painter.end()) {
      std::fprintf(stderr, "make_form: drawing failed\n");
      return 1;
    }
  }
  if (!file.commit()) {
    std::fprintf(stderr, "make_form: cannot write %s\n", qPrintable(args.at(1)));
    return 1;
  }
  return 0;
}
