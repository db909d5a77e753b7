#pragma once
// Copies the local journal to the factory's PostgreSQL server, in the order the records were
// written, each exactly once: the server keeps what it has by the record's id, and the local file
// remembers, per server, the last record the server confirmed. Used by one thread.
#include "journal/FactoryUri.h"

#include <QString>

class TFactoryCopy {
public:
  enum TResult { Copied, LocalFailed, ServerFailed };

  TFactoryCopy(QString localPath, TFactoryUri server, QString connectionPrefix);
  ~TFactoryCopy();
  TFactoryCopy(const TFactoryCopy &) = delete;
  TFactoryCopy &operator=(const TFactoryCopy &) = delete;

  // Copies every local record the server does not have yet; on a failure why says what failed.
  TResult CopyPending(QString &why);
  bool ServerConnected() const { return serverOpen_; }
  // Records of the local file not yet confirmed by the server; -1 when that cannot be known.
  long long Unsent();

private:
  bool OpenLocal(QString &why);
  bool OpenServer(QString &why);
  void CloseLocal();
  void CloseServer();
  long long Marker(bool &ok);

  QString localPath_;
  TFactoryUri server_;
  QString localName_;
  QString serverName_;
  bool localOpen_ = false;
  bool serverOpen_ = false;
};

// What a failure of the server means for the technician, with the server's own words after it.
QString ReasonOfServerError(const QString &text);
