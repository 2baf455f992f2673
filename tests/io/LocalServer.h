// Test servers on 127.0.0.1 for the download tests: HTTP and HTTPS (python's http.server) and
// FTP (pyftpdlib), run by one script from a root folder; each exits by itself after two minutes.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/common/TestSupport.h"

extern char** environ;

namespace localserver {

inline const char* const kServerScript = R"PY(
import os, sys, ssl, threading, socketserver, http.server, urllib.parse
mode, root, port, ready = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4]
threading.Timer(120, lambda: os._exit(0)).start()
log = os.path.join(root, 'requests.log')

class Handler(http.server.SimpleHTTPRequestHandler):
    def __init__(self, *a, **k):
        super().__init__(*a, directory=root, **k)
    def log_message(self, *a):
        pass
    def do_GET(self):
        with open(log, 'a') as f:
            f.write('>> ' + self.requestline + '\n' + str(self.headers) + '\n')
        p = self.path
        if p.startswith('http://') or p.startswith('https://'):
            p = urllib.parse.urlsplit(p).path
            self.path = p
        if p == '/nolength':
            self.send_response(200)
            self.send_header('Content-Type', 'image/x-test')
            self.end_headers()
            self.wfile.write(b'N' * 5000)
            return
        if p == '/short':
            self.send_response(200)
            self.send_header('Content-Length', '1000')
            self.end_headers()
            self.wfile.write(b'S' * 500)
            return
        if p == '/huge':
            self.send_response(200)
            self.send_header('Content-Length', str(2 ** 31))
            self.end_headers()
            self.wfile.write(b'H' * 1000)
            return
        if p == '/redirect':
            self.send_response(302)
            self.send_header('Location', '/pic.png')
            self.send_header('Content-Length', '0')
            self.end_headers()
            return
        return super().do_GET()

class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True

if mode in ('http', 'https'):
    srv = Server(('127.0.0.1', port), Handler)
    if mode == 'https':
        ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        ctx.load_cert_chain(os.path.join(root, 'cert.pem'), os.path.join(root, 'key.pem'))
        srv.socket = ctx.wrap_socket(srv.socket, server_side=True)
    port = srv.server_address[1]
    run = srv.serve_forever
else:
    import logging
    logging.disable(logging.CRITICAL)
    from pyftpdlib.authorizers import DummyAuthorizer
    from pyftpdlib.handlers import FTPHandler
    from pyftpdlib.servers import FTPServer
    auth = DummyAuthorizer()
    auth.add_user('u', 'p', root, perm='elr')
    auth.add_anonymous(root)
    FTPHandler.authorizer = auth
    srv = FTPServer(('127.0.0.1', port), FTPHandler)
    port = srv.socket.getsockname()[1]
    run = srv.serve_forever
with open(ready + '.tmp', 'w') as f:
    f.write(str(port))
os.rename(ready + '.tmp', ready)
run()
)PY";

// Runs a program with an argument vector, output dropped; answers its pid (0 on failure).
inline pid_t Spawn(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), environ) != 0) pid = 0;
  posix_spawn_file_actions_destroy(&fa);
  return pid;
}

inline bool RunToEnd(const std::vector<std::string>& args) {
  const pid_t pid = Spawn(args);
  if (pid <= 0) return false;
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

inline std::string ReadAll(const std::string& name) {
  std::ifstream f(name, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

// One server process of the script above.
class TLocalServer {
 public:
  // Port 0 lets the system choose. False when the server did not come up within ten seconds.
  bool Start(const std::string& root, const std::string& mode, int port) {
    static int counter = 0;
    const std::string ready = root + "ready-" + std::to_string(++counter);
    pid_ = Spawn({"/usr/bin/python3", root + "server.py", mode, root, std::to_string(port), ready});
    if (pid_ <= 0) return false;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < until) {
      if (FileExists(ready)) {
        port_ = std::stoi(ReadAll(ready));
        return true;
      }
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = 0;
        return false;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }
  ~TLocalServer() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
  int Port() const { return port_; }

 private:
  pid_t pid_ = 0;
  int port_ = 0;
};

}  // namespace localserver
