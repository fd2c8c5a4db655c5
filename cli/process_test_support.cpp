#include "cli/process_test_support.h"

#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>

#include "engine/strutil.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

extern char** environ;
#endif

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

std::string ReadFileBytes(const fs::path& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

fs::path OutPath(const ChildOptions& o) {
  return o.captureDir / "child-stdout";
}
fs::path ErrPath(const ChildOptions& o) {
  return o.captureDir / "child-stderr";
}

#ifdef _WIN32

// One argument quoted for CommandLineToArgvW and the C runtime.
std::wstring QuoteArg(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) return arg;
  std::wstring quoted = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    // Backslashes are literal unless a quote follows them.
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, L'\\');
  quoted += L'"';
  return quoted;
}

std::wstring Wide(const std::string& utf8) {
  const std::u16string text = Utf8ToUtf16(utf8);
  return std::wstring(text.begin(), text.end());
}

HANDLE InheritableFile(const fs::path& path, DWORD access, DWORD creation) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, creation,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

void StartAndWait(const fs::path& program, const std::vector<std::string>& args,
                  const ChildOptions& options, ChildRun& run) {
  std::wstring commandLine = QuoteArg(program.wstring());
  for (const std::string& arg : args) commandLine += L" " + QuoteArg(Wide(arg));

  HANDLE in = InheritableFile(
      options.stdinFile.empty() ? std::wstring(L"NUL") : options.stdinFile.wstring(), GENERIC_READ,
      OPEN_EXISTING);
  HANDLE out = InheritableFile(OutPath(options), GENERIC_WRITE, CREATE_ALWAYS);
  HANDLE err = InheritableFile(ErrPath(options), GENERIC_WRITE, CREATE_ALWAYS);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in;
  startup.hStdOutput = out;
  startup.hStdError = err;
  PROCESS_INFORMATION process{};
  const std::wstring workDir = options.workDir.wstring();
  const BOOL started =
      CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                     nullptr, workDir.c_str(), &startup, &process);
  const DWORD startError = GetLastError();
  for (HANDLE h : {in, out, err}) {
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
  if (!started) {
    run.failure = "CreateProcessW failed with error " + std::to_string(startError);
    return;
  }
  CloseHandle(process.hThread);
  const DWORD timeout = static_cast<DWORD>(options.timeoutSeconds) * 1000;
  if (WaitForSingleObject(process.hProcess, timeout) == WAIT_TIMEOUT) {
    run.timedOut = true;
    TerminateProcess(process.hProcess, 255);
    WaitForSingleObject(process.hProcess, INFINITE);
  } else {
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    run.status = static_cast<int>(code);
  }
  CloseHandle(process.hProcess);
}

#else

// The environment of the child: ours without the locale variables, and
// LC_ALL as asked.
std::vector<std::string> ChildEnvironment(const std::string& locale) {
  std::vector<std::string> env;
  for (char** v = environ; *v != nullptr; ++v) {
    const std::string entry = *v;
    if (entry.rfind("LANG=", 0) == 0 || entry.rfind("LANGUAGE=", 0) == 0 ||
        entry.rfind("LC_", 0) == 0) {
      continue;
    }
    env.push_back(entry);
  }
  env.push_back("LC_ALL=" + locale);
  return env;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& t : texts) pointers.push_back(t.data());
  pointers.push_back(nullptr);
  return pointers;
}

// In the child between fork and exec: only async-signal-safe calls.
[[noreturn]] void BecomeChild(const char* program, char** argv, char** envp, const char* workDir,
                              const char* inPath, const char* outPath, const char* errPath,
                              long long sizeLimit, long long memoryLimit) {
  const int in = open(inPath, O_RDONLY);
  const int out = open(outPath, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const int err = open(errPath, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (in < 0 || out < 0 || err < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0 ||
      chdir(workDir) != 0) {
    _exit(127);
  }
  // The dispositions a login shell gives: a write past the limit raises
  // SIGXFSZ, which ends the process unless the program handles it; no
  // interrupt is ignored or blocked.
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  for (int sig : {SIGXFSZ, SIGINT, SIGTERM, SIGHUP}) signal(sig, SIG_DFL);
  if (sizeLimit >= 0) {
    struct rlimit limit;
    limit.rlim_cur = limit.rlim_max = static_cast<rlim_t>(sizeLimit);
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(127);
  }
  if (memoryLimit >= 0) {
    struct rlimit limit;
    limit.rlim_cur = limit.rlim_max = static_cast<rlim_t>(memoryLimit);
    if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(127);
  }
  execve(program, argv, envp);
  _exit(127);
}

void StartAndWait(const fs::path& program, const std::vector<std::string>& args,
                  const ChildOptions& options, ChildRun& run) {
  std::vector<std::string> argTexts{program.native()};
  argTexts.insert(argTexts.end(), args.begin(), args.end());
  std::vector<std::string> envTexts = ChildEnvironment(options.locale);
  std::vector<char*> argv = Pointers(argTexts);
  std::vector<char*> envp = Pointers(envTexts);
  const std::string workDir = options.workDir.native();
  const std::string inPath =
      options.stdinFile.empty() ? std::string("/dev/null") : options.stdinFile.native();
  const std::string outPath = OutPath(options).native();
  const std::string errPath = ErrPath(options).native();

  const pid_t pid = fork();
  if (pid < 0) {
    run.failure = std::string("fork failed: ") + std::strerror(errno);
    return;
  }
  if (pid == 0) {
    BecomeChild(argv[0], argv.data(), envp.data(), workDir.c_str(), inPath.c_str(), outPath.c_str(),
                errPath.c_str(), options.fileSizeLimit, options.memoryLimit);
  }
  const auto deadline = Clock::now() + std::chrono::seconds(options.timeoutSeconds);
  int status = 0;
  bool interrupted = false;
  for (;;) {
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) break;
    if (options.interruptSignal != 0 && !interrupted && options.interruptWhen()) {
      kill(pid, options.interruptSignal);
      interrupted = true;
    }
    if (done < 0 && errno != EINTR) {
      run.failure = std::string("waitpid failed: ") + std::strerror(errno);
      return;
    }
    if (Clock::now() > deadline) {
      run.timedOut = true;
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (WIFEXITED(status)) run.status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) run.signal = WTERMSIG(status);
}

#endif

}  // namespace

ChildRun RunChild(const fs::path& program, const std::vector<std::string>& args,
                  const ChildOptions& options) {
  ChildRun run;
  const auto start = Clock::now();
  StartAndWait(program, args, options, run);
  run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  run.out = ReadFileBytes(OutPath(options));
  run.err = ReadFileBytes(ErrPath(options));
  return run;
}

#ifdef _WIN32

fs::path BuiltProgram(const fs::path& builtPath) {
  std::wstring self(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size()));
    if (n < self.size()) {
      self.resize(n);
      break;
    }
    self.resize(self.size() * 2);
  }
  return fs::path(self).parent_path() / builtPath.filename();
}

std::string StderrBytes(const std::u16string& text) {
  const std::wstring wide(text.begin(), text.end());
  const int size = static_cast<int>(wide.size());
  std::string bytes(static_cast<size_t>(size) * 4, '\0');
  const int n = WideCharToMultiByte(CP_ACP, 0, wide.data(), size, bytes.data(),
                                    static_cast<int>(bytes.size()), nullptr, nullptr);
  bytes.resize(n > 0 ? static_cast<size_t>(n) : 0);
  std::string crlf;
  for (char c : bytes) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  return crlf;
}

std::u16string StderrText(const std::string& bytes) {
  std::string lf;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] != '\r' || i + 1 >= bytes.size() || bytes[i + 1] != '\n') lf += bytes[i];
  }
  const int size = static_cast<int>(lf.size());
  std::wstring wide(lf.size(), L'\0');
  const int n = MultiByteToWideChar(CP_ACP, 0, lf.data(), size, wide.data(), size);
  wide.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return std::u16string(wide.begin(), wide.end());
}

FileHold::FileHold(const fs::path& path) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h != INVALID_HANDLE_VALUE) handle_ = h;
}

FileHold::~FileHold() {
  if (handle_ != nullptr) CloseHandle(handle_);
}

#else

fs::path BuiltProgram(const fs::path& builtPath) {
  return builtPath;
}

// The tests run the child with a UTF-8 locale.
std::string StderrBytes(const std::u16string& text) {
  return Utf16ToUtf8(text);
}

std::u16string StderrText(const std::string& bytes) {
  return Utf8ToUtf16(bytes);
}

#endif
