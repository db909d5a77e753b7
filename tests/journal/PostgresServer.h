#pragma once
// A PostgreSQL server of the test's own: initdb in a temporary folder, run as an unprivileged
// user (nobody when the test runs as root, which PostgreSQL refuses to be), listening on a Unix
// socket in that folder only. Stopped and removed at the end. The administrator role "admin"
// logs in without a password; every other role needs its password (from PGPASSFILE).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <csignal>
#include <glob.h>
#include <grp.h>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

class TPostgresServer {
public:
  explicit TPostgresServer(bool durable = false) {
    bin_ = BinDir();
    char pattern[] = "/tmp/kstune-pg-XXXXXX";
    if (!mkdtemp(pattern))
      throw std::runtime_error("mkdtemp failed");
    dir_ = pattern;
    if (geteuid() == 0) {
      runAs_ = 65534; // nobody
      if (chown(dir_.c_str(), runAs_, runAs_) != 0)
        throw std::runtime_error("chown of the server folder failed");
    }
    if (Run({bin_ + "/initdb", "-D", Data(), "-U", "admin", "--auth=trust", "-E", "UTF8", "--no-locale", "-N"},
            true) != 0)
      throw std::runtime_error("initdb failed");
    std::ofstream(Data() + "/pg_hba.conf") << "local all admin trust\nlocal all all scram-sha-256\n";
    std::ofstream conf(Data() + "/postgresql.conf", std::ios::app);
    conf << "listen_addresses = ''\nunix_socket_directories = '" << dir_ << "'\nport = 5432\n";
    if (!durable)
      conf << "fsync = off\nsynchronous_commit = off\n";
    conf.close();
    if (runAs_ >= 0 && chown((Data() + "/pg_hba.conf").c_str(), runAs_, runAs_) != 0)
      throw std::runtime_error("chown failed");
    if (!Start())
      throw std::runtime_error("the server did not start: " + Log());
    Psql("CREATE DATABASE kstune", "postgres");
  }
  ~TPostgresServer() {
    Stop();
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  TPostgresServer(const TPostgresServer &) = delete;
  TPostgresServer &operator=(const TPostgresServer &) = delete;

  bool Start() { return Run({bin_ + "/pg_ctl", "-D", Data(), "-l", dir_ + "/log", "-w", "-t", "60", "start"}, true) == 0; }
  bool Stop() { return Run({bin_ + "/pg_ctl", "-D", Data(), "-w", "-m", "fast", "stop"}, true) == 0; }

  const std::string &SocketDir() const { return dir_; }
  std::string Uri(const std::string &user) const { return "postgresql://" + user + "@/kstune?host=" + dir_; }

  // Runs SQL through psql as the administrator; its output, unaligned, one row a line.
  std::string Psql(const std::string &sql, const std::string &database = "kstune") const {
    const std::string out = dir_ + "/psql.out";
    const int status = Run({bin_ + "/psql", "-X", "-q", "-At", "-v", "ON_ERROR_STOP=1", "-h", dir_, "-U", "admin",
                            "-d", database, "-o", out, "-c", sql},
                           false);
    std::ifstream in(out);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::filesystem::remove(out);
    if (status != 0)
      throw std::runtime_error("psql failed: " + sql);
    return text;
  }

  // Runs SQL (or a file with -f) through psql as any role, with its password; the outcome, and
  // psql's error output with the server's SQLSTATE in it.
  struct TAttempt {
    bool Ok = false;
    std::string Out;
    std::string Err;
  };
  TAttempt PsqlAs(const std::string &user, const std::string &password, const std::vector<std::string> &args,
                  const std::string &database = "kstune") const {
    const std::string out = dir_ + "/psql-as.out", err = dir_ + "/psql-as.err";
    const pid_t pid = fork();
    if (pid == 0) {
      if (!password.empty())
        setenv("PGPASSWORD", password.c_str(), 1);
      if (FILE *f = std::fopen(err.c_str(), "w"))
        dup2(fileno(f), 2);
      std::vector<std::string> all = {bin_ + "/psql", "-X", "-q", "-At", "-v", "ON_ERROR_STOP=1", "-v",
                                      "VERBOSITY=verbose", "-h", dir_, "-U", user, "-d", database, "-o", out};
      all.insert(all.end(), args.begin(), args.end());
      std::vector<char *> argv;
      for (auto &a : all)
        argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    int status = 0;
    TAttempt attempt;
    attempt.Ok = pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    auto slurp = [](const std::string &path) {
      std::ifstream in(path);
      return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    };
    attempt.Out = slurp(out);
    attempt.Err = slurp(err);
    std::filesystem::remove(out);
    std::filesystem::remove(err);
    return attempt;
  }

  // Every process of the server (the postmaster and its children), stopped or let go on: a server
  // that stops answering mid-session, its sockets still open.
  void Freeze() { Signal(SIGSTOP); }
  void Thaw() { Signal(SIGCONT); }

  std::string Log() const {
    std::ifstream in(dir_ + "/log");
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }

private:
  std::string Data() const { return dir_ + "/data"; }

  void Signal(int sig) {
    std::ifstream pidFile(Data() + "/postmaster.pid");
    pid_t postmaster = 0;
    pidFile >> postmaster;
    if (postmaster <= 0)
      throw std::runtime_error("no postmaster.pid");
    kill(postmaster, sig);
    for (const auto &entry : std::filesystem::directory_iterator("/proc")) {
      std::ifstream stat(entry.path() / "stat");
      std::string pid, name, state;
      pid_t parent = 0;
      if (stat >> pid >> name >> state >> parent && parent == postmaster)
        kill(std::stoi(pid), sig);
    }
  }

  static std::string BinDir() {
    glob_t found{};
    std::string bin;
    if (glob("/usr/lib/postgresql/*/bin/initdb", 0, nullptr, &found) == 0 && found.gl_pathc > 0)
      bin = std::filesystem::path(found.gl_pathv[found.gl_pathc - 1]).parent_path().string();
    globfree(&found);
    if (bin.empty())
      throw std::runtime_error("PostgreSQL is not installed (scripts/deps.sh installs it)");
    return bin;
  }

  // Runs a program and waits for it; as the unprivileged user when asked and we are root.
  int Run(const std::vector<std::string> &args, bool unprivileged) const {
    const pid_t pid = fork();
    if (pid == 0) {
      if (unprivileged && runAs_ >= 0) {
        if (setgroups(0, nullptr) != 0 || setgid(runAs_) != 0 || setuid(runAs_) != 0)
          _exit(126);
        setenv("HOME", dir_.c_str(), 1);
      }
      if (chdir(dir_.c_str()) != 0)
        _exit(126);
      // Output of the server tools goes to the log folder, not into the test's own.
      const std::string log = dir_ + "/tools.log";
      if (FILE *f = std::fopen(log.c_str(), "a")) {
        dup2(fileno(f), 1);
        dup2(fileno(f), 2);
      }
      std::vector<char *> argv;
      for (const auto &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid)
      return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  std::string bin_;
  std::string dir_;
  int runAs_ = -1;
};
