#include "exchange/zip_entry_reader.h"

#include <QIODevice>
#include <algorithm>
#include <zlib.h>

namespace tl {

namespace {

constexpr qint64 kEndRecordBytes = 22;      // end of central directory, without its comment
constexpr qint64 kZip64LocatorBytes = 20;   // ZIP64 end of central directory locator
constexpr qint64 kZip64EndRecordBytes = 56; // ZIP64 end of central directory, fixed part
constexpr qint64 kCentralHeaderBytes = 46;  // central directory file header, fixed part
constexpr qint64 kLocalHeaderBytes = 30;    // local file header, fixed part

quint16 Le16(const char *p) { return quint16(uchar(p[0]) | uchar(p[1]) << 8); }
quint32 Le32(const char *p) { return quint32(Le16(p)) | quint32(Le16(p + 2)) << 16; }
quint64 Le64(const char *p) { return quint64(Le32(p)) | quint64(Le32(p + 4)) << 32; }

bool HasSignature(const char *p, quint32 signature) { return Le32(p) == signature; }

QString Damaged(const QString &what) {
  return QStringLiteral("archive zip endommagée : %1").arg(what);
}

} // namespace

struct ZipEntryReader::Inflater {
  z_stream stream{};
  bool ready = false;
  ~Inflater() {
    if (ready) {
      inflateEnd(&stream);
    }
  }
};

ZipEntryReader::ZipEntryReader() = default;
ZipEntryReader::~ZipEntryReader() = default;

bool ZipEntryReader::fail(const QString &reason) {
  if (error_.isEmpty()) {
    error_ = reason;
  }
  finished_ = true;
  return false;
}

bool ZipEntryReader::readAt(qint64 at, char *into, qint64 bytes) {
  if (at < 0 || bytes < 0 || at > size_ || bytes > size_ - at) {
    return fail(Damaged(QStringLiteral("une position ou une taille sort du fichier")));
  }
  if (!device_->seek(at)) {
    return fail(QStringLiteral("lecture impossible dans l'archive zip"));
  }
  qint64 done = 0;
  while (done < bytes) {
    const qint64 got = device_->read(into + done, bytes - done);
    if (got <= 0) {
      return fail(QStringLiteral("lecture impossible dans l'archive zip"));
    }
    done += got;
  }
  return true;
}

bool ZipEntryReader::open(QIODevice &device, qint64 size,
                          const std::function<bool(QByteArrayView)> &wanted) {
  device_ = &device;
  size_ = size;
  // The end record is in the last 64 KiB and 22 bytes (its comment at most
  // 65535 bytes); the last signature whose comment ends the file is it.
  const qint64 tailBytes = std::min<qint64>(size, kEndRecordBytes + 0xFFFF);
  if (tailBytes < kEndRecordBytes) {
    return fail(Damaged(QStringLiteral("répertoire central introuvable")));
  }
  QByteArray tail(tailBytes, Qt::Uninitialized);
  if (!readAt(size - tailBytes, tail.data(), tailBytes)) {
    return false;
  }
  qint64 end = -1;
  for (qint64 at = tailBytes - kEndRecordBytes; at >= 0; --at) {
    const char *p = tail.constData() + at;
    if (HasSignature(p, 0x06054b50) && at + kEndRecordBytes + Le16(p + 20) <= tailBytes) {
      end = at;
      break;
    }
  }
  if (end < 0) {
    return fail(Damaged(QStringLiteral("répertoire central introuvable")));
  }
  const char *record = tail.constData() + end;
  quint64 entries = Le16(record + 10);
  quint64 directoryBytes = Le32(record + 12);
  quint64 directoryAt = Le32(record + 16);
  const qint64 endAt = size - tailBytes + end;
  if (endAt >= kZip64LocatorBytes) {
    char locator[kZip64LocatorBytes];
    if (!readAt(endAt - kZip64LocatorBytes, locator, kZip64LocatorBytes)) {
      return false;
    }
    if (HasSignature(locator, 0x07064b50)) {
      char zip64[kZip64EndRecordBytes];
      const quint64 zip64At = Le64(locator + 8);
      if (zip64At > quint64(size) || !readAt(qint64(zip64At), zip64, kZip64EndRecordBytes) ||
          !HasSignature(zip64, 0x06064b50)) {
        return fail(Damaged(QStringLiteral("répertoire central ZIP64 introuvable")));
      }
      entries = Le64(zip64 + 32);
      directoryBytes = Le64(zip64 + 40);
      directoryAt = Le64(zip64 + 48);
    }
  }
  if (directoryAt > quint64(size) || directoryBytes > quint64(size) - directoryAt) {
    return fail(Damaged(QStringLiteral("le répertoire central sort du fichier")));
  }

  // The central directory, one header at a time: only the wanted entry's
  // name and extra field are read whole.
  const quint64 directoryEnd = directoryAt + directoryBytes;
  quint64 at = directoryAt;
  QByteArray name, extra;
  for (quint64 i = 0; i < entries && at + kCentralHeaderBytes <= directoryEnd; ++i) {
    char header[kCentralHeaderBytes];
    if (!readAt(qint64(at), header, kCentralHeaderBytes)) {
      return false;
    }
    if (!HasSignature(header, 0x02014b50)) {
      return fail(Damaged(QStringLiteral("en-tête du répertoire central illisible")));
    }
    const quint16 nameBytes = Le16(header + 28), extraBytes = Le16(header + 30),
                  commentBytes = Le16(header + 32);
    const quint64 next = at + kCentralHeaderBytes + nameBytes + extraBytes + commentBytes;
    if (next > directoryEnd) {
      return fail(Damaged(QStringLiteral("en-tête du répertoire central illisible")));
    }
    name.resize(nameBytes);
    if (!readAt(qint64(at + kCentralHeaderBytes), name.data(), nameBytes)) {
      return false;
    }
    if (!wanted(name)) {
      at = next;
      continue;
    }
    const quint16 flags = Le16(header + 8), method = Le16(header + 10);
    if ((flags & 0x41) != 0 || method == 99) {
      return fail(QStringLiteral("%1 est chiffré dans l'archive zip : exportez-le sans mot de "
                                 "passe")
                      .arg(QString::fromUtf8(name)));
    }
    if (method != 0 && method != 8) {
      return fail(QStringLiteral("%1 est compressé dans l'archive zip par une méthode que "
                                 "Tensiolog ne lit pas (méthode %2)")
                      .arg(QString::fromUtf8(name))
                      .arg(method));
    }
    expectedCrc_ = Le32(header + 16);
    quint64 compressed = Le32(header + 20);
    expectedSize_ = Le32(header + 24);
    quint64 localAt = Le32(header + 42);
    // The ZIP64 extra field holds, in this order, the values whose 32-bit
    // fields are all ones.
    extra.resize(extraBytes);
    if (!readAt(qint64(at + kCentralHeaderBytes + nameBytes), extra.data(), extraBytes)) {
      return false;
    }
    for (qsizetype x = 0; x + 4 <= extra.size();) {
      const quint16 id = Le16(extra.constData() + x), bytes = Le16(extra.constData() + x + 2);
      const qsizetype body = x + 4;
      if (body + bytes > extra.size()) {
        break;
      }
      if (id == 0x0001) {
        qsizetype field = body;
        const auto take = [&](quint64 &value) {
          if (value == 0xFFFFFFFFu && field + 8 <= body + bytes) {
            value = Le64(extra.constData() + field);
            field += 8;
          }
        };
        take(expectedSize_);
        take(compressed);
        take(localAt);
      }
      x = body + bytes;
    }
    char local[kLocalHeaderBytes];
    if (localAt > quint64(size) || !readAt(qint64(localAt), local, kLocalHeaderBytes) ||
        !HasSignature(local, 0x04034b50)) {
      return fail(Damaged(QStringLiteral("en-tête local illisible")));
    }
    const quint64 dataAt = localAt + kLocalHeaderBytes + Le16(local + 26) + Le16(local + 28);
    if (dataAt > quint64(size) || compressed > quint64(size) - dataAt) {
      return fail(
          QStringLiteral("archive zip tronquée : %1 est incomplet").arg(QString::fromUtf8(name)));
    }
    if (method == 0 && compressed != expectedSize_) {
      return fail(Damaged(QStringLiteral("tailles incohérentes")));
    }
    deflated_ = method == 8;
    compressedLeft_ = compressed;
    if (!device.seek(qint64(dataAt))) {
      return fail(QStringLiteral("lecture impossible dans l'archive zip"));
    }
    consumed_ = qint64(dataAt);
    in_.resize(kChunkBytes);
    out_.resize(kChunkBytes);
    if (deflated_) {
      inflater_ = std::make_unique<Inflater>();
      if (inflateInit2(&inflater_->stream, -MAX_WBITS) != Z_OK) {
        return fail(QStringLiteral("mémoire insuffisante pour décompresser l'archive zip"));
      }
      inflater_->ready = true;
    }
    return true;
  }
  missing_ = true;
  return fail(QStringLiteral("l'archive zip ne contient pas le fichier cherché"));
}

bool ZipEntryReader::finishEntry() {
  finished_ = true;
  if (produced_ != expectedSize_ || crc_ != expectedCrc_) {
    return fail(Damaged(QStringLiteral("le contenu ne correspond pas à sa somme de contrôle")));
  }
  return true;
}

QByteArrayView ZipEntryReader::read() {
  if (finished_ || !device_) {
    return {};
  }
  const auto fill = [this](qint64 want) -> qint64 {
    const qint64 got = device_->read(in_.data(), want);
    if (got <= 0) {
      fail(QStringLiteral("archive zip tronquée"));
      return 0;
    }
    compressedLeft_ -= quint64(got);
    consumed_ += got;
    return got;
  };
  if (!deflated_) {
    if (compressedLeft_ == 0) {
      finishEntry();
      return {};
    }
    const qint64 got = fill(qint64(std::min<quint64>(compressedLeft_, quint64(kChunkBytes))));
    if (got == 0) {
      return {};
    }
    produced_ += quint64(got);
    crc_ = quint32(crc32(crc_, reinterpret_cast<const Bytef *>(in_.constData()), uInt(got)));
    return QByteArrayView(in_.constData(), got);
  }
  z_stream &z = inflater_->stream;
  z.next_out = reinterpret_cast<Bytef *>(out_.data());
  z.avail_out = uInt(out_.size());
  // Inflates until some output is there, the stream ends, or it fails; a
  // stream that neither moves nor ends is an error, never a loop.
  bool ended = false;
  while (z.avail_out == uInt(out_.size())) {
    if (z.avail_in == 0) {
      if (compressedLeft_ == 0) {
        fail(QStringLiteral("archive zip tronquée"));
        return {};
      }
      const qint64 got = fill(qint64(std::min<quint64>(compressedLeft_, quint64(kChunkBytes))));
      if (got == 0) {
        return {};
      }
      z.next_in = reinterpret_cast<Bytef *>(in_.data());
      z.avail_in = uInt(got);
    }
    const int status = inflate(&z, Z_NO_FLUSH);
    if (status == Z_STREAM_END) {
      ended = true;
      break;
    }
    if (status != Z_OK && !(status == Z_BUF_ERROR && z.avail_in == 0)) {
      fail(Damaged(QStringLiteral("le contenu ne se décompresse pas")));
      return {};
    }
  }
  const qint64 got = out_.size() - qint64(z.avail_out);
  produced_ += quint64(got);
  crc_ = quint32(crc32(crc_, reinterpret_cast<const Bytef *>(out_.constData()), uInt(got)));
  if (produced_ > expectedSize_) {
    fail(Damaged(QStringLiteral("le contenu dépasse sa taille annoncée")));
    return {};
  }
  if (ended) {
    finishEntry(); // the bytes are still given; error() tells when they do not check out
  }
  return QByteArrayView(out_.constData(), got);
}

} // namespace tl
