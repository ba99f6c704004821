#pragma once

// One entry of a zip archive read in pieces: found through the central
// directory (ZIP64 included), then copied (stored) or inflated (deflate)
// through bounded buffers, its size and CRC checked at its end. Nothing
// the archive claims is trusted: every size and offset is checked against
// the file before it is used, and a corrupt archive gives a reason, never
// a crash or a read past the buffers.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <functional>
#include <memory>

class QIODevice;

namespace tl {

class ZipEntryReader {
public:
  // The most a read() gives at once, and the most read from the device at once.
  static constexpr qsizetype kChunkBytes = qsizetype(256) * 1024;

  ZipEntryReader();
  ~ZipEntryReader();
  ZipEntryReader(const ZipEntryReader &) = delete;
  ZipEntryReader &operator=(const ZipEntryReader &) = delete;

  // Finds the first entry whose name `wanted` accepts in the archive on
  // `device` (random access, `size` bytes) and readies its reading; false,
  // with error(), when the archive cannot be read, holds no such entry, or
  // holds it encrypted or compressed by a method other than deflate.
  bool open(QIODevice &device, qint64 size, const std::function<bool(QByteArrayView)> &wanted);

  // The next bytes of the entry (valid until the next call): empty at its
  // end, or on an error (error() tells).
  QByteArrayView read();

  bool atEnd() const { return finished_; }
  // The archive's bytes read so far (for a progress told against its size).
  qint64 consumed() const { return consumed_; }
  // Why the archive or the entry could not be read, a fragment ("archive zip
  // tronquée"); empty while it can.
  const QString &error() const { return error_; }
  // Whether open() failed because no entry was wanted.
  bool missing() const { return missing_; }

private:
  bool fail(const QString &reason);
  bool readAt(qint64 at, char *into, qint64 bytes);
  bool finishEntry();

  QIODevice *device_ = nullptr;
  qint64 size_ = 0;
  QString error_;
  bool finished_ = false;
  bool missing_ = false;
  bool deflated_ = false;
  quint32 expectedCrc_ = 0, crc_ = 0;
  quint64 expectedSize_ = 0, produced_ = 0;
  quint64 compressedLeft_ = 0;
  qint64 consumed_ = 0;
  QByteArray in_, out_;
  struct Inflater;
  std::unique_ptr<Inflater> inflater_;
};

} // namespace tl
