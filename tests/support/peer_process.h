#pragma once
// A test peer: a Python script started with Debian's /usr/bin/python3 on loopback,
// which prints "PORT n" once it listens; stopped when the object goes.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

namespace vendrix::test {

// The folder of the peer scripts (set by CMake).
inline std::string PeerScript(const std::string& name) {
  return std::string(VENDRIX_PEERS_DIR) + "/" + name;
}

class PeerProcess {
 public:
  explicit PeerProcess(std::vector<std::string> args) {
    int out[2];
    if (::pipe(out) != 0) throw std::runtime_error("pipe");
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(out[1], 1);
      ::close(out[0]);
      ::close(out[1]);
      std::vector<char*> argv;
      std::string python = "/usr/bin/python3";
      argv.push_back(python.data());
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      ::execv(python.c_str(), argv.data());
      ::_exit(127);
    }
    ::close(out[1]);
    std::FILE* f = ::fdopen(out[0], "r");
    char line[128] = "";
    if (!std::fgets(line, sizeof line, f) || std::sscanf(line, "PORT %d", &port_) != 1) {
      std::fclose(f);
      Stop();
      throw std::runtime_error("test peer did not start: " + args.front());
    }
    out_ = f;
  }
  ~PeerProcess() {
    Stop();
    if (out_) std::fclose(out_);
  }
  PeerProcess(const PeerProcess&) = delete;
  PeerProcess& operator=(const PeerProcess&) = delete;

  int port() const { return port_; }
  void Stop() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
      pid_ = -1;
    }
  }

 private:
  pid_t pid_ = -1;
  int port_ = 0;
  std::FILE* out_ = nullptr;
};

// A certificate authority and certificates made with the openssl command: a server
// certificate for localhost / 127.0.0.1 signed by the CA, and a self-signed one.
struct TestCertificates {
  std::string caPem, serverPem, serverKey, selfSignedPem, selfSignedKey;

  explicit TestCertificates(const std::string& dir) {
    caPem = dir + "/ca.pem";
    serverPem = dir + "/server.pem";
    serverKey = dir + "/server.key";
    selfSignedPem = dir + "/self.pem";
    selfSignedKey = dir + "/self.key";
    const std::string ec = "-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";
    const std::string san = "subjectAltName=DNS:localhost,IP:127.0.0.1,IP:::1";
    std::string script =
        "set -e; cd '" + dir + "'; " + "openssl req -x509 " + ec +
        " -keyout ca.key -out ca.pem -days 2 -subj '/CN=Vendrix Test CA'; " + "openssl req " + ec +
        " -keyout server.key -out server.csr -subj '/CN=localhost'; " + "printf '" + san +
        "\\nbasicConstraints=CA:FALSE\\n' > ext.cnf; " +
        "openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -out server.pem "
        "-days 2 -extfile ext.cnf; " +
        "openssl req -x509 " + ec +
        " -keyout self.key -out self.pem -days 2 -subj '/CN=localhost' -addext '" + san + "'";
    if (std::system(("( " + script + " ) >/dev/null 2>&1").c_str()) != 0) {
      throw std::runtime_error("openssl could not make the test certificates");
    }
  }
};

}  // namespace vendrix::test
