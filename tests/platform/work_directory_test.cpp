// Where the program works: its own directory when it may write there, the user's otherwise.
#include "platform/work_directory.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

namespace kesu::platform {
namespace {

namespace fs = std::filesystem;

// Sets an environment variable for one test and puts the old value back.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const std::string* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value) {
            setenv(name, value->c_str(), 1);
        } else {
            unsetenv(name);
        }
    }
    ~ScopedEnv() {
        if (old_) {
            setenv(name_, old_->c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }

  private:
    const char* name_;
    std::optional<std::string> old_;
};

class WorkDirectoryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() / ("kesu-workdir-" + std::to_string(getpid()));
        fs::create_directories(root_ / "home" / "文档");
        fs::create_directories(root_ / "usr" / "bin");
        fs::permissions(root_, fs::perms(0755));
        fs::permissions(root_ / "usr" / "bin", fs::perms(0555));
    }
    void TearDown() override { fs::remove_all(root_); }

    // WorkDirectory(dir) as a user who may not write to `dir` sees it: root may write
    // anywhere, so as root the question is asked in a child that has become nobody.
    std::string AsUnprivilegedUser(const std::string& dir) {
        if (geteuid() != 0) return WorkDirectory(dir);
        int pipe_fds[2];
        if (pipe(pipe_fds) != 0) return "pipe failed";
        pid_t child = fork();
        if (child == 0) {
            close(pipe_fds[0]);
            if (setgid(65534) != 0 || setuid(65534) != 0) _exit(1);
            std::string answer = WorkDirectory(dir);
            bool ok = write(pipe_fds[1], answer.data(), answer.size()) ==
                      static_cast<ssize_t>(answer.size());
            _exit(ok ? 0 : 1);
        }
        close(pipe_fds[1]);
        std::string answer;
        char buffer[512];
        for (ssize_t n; (n = read(pipe_fds[0], buffer, sizeof buffer)) > 0;)
            answer.append(buffer, n);
        close(pipe_fds[0]);
        int status = 0;
        waitpid(child, &status, 0);
        return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? answer : "child failed";
    }

    fs::path root_;
};

TEST_F(WorkDirectoryTest, AnInstalledProgramWorksInTheUsersDocumentsElseHome) {
    const std::string home = (root_ / "home").string();
    const std::string documents = (root_ / "home" / "文档").string();
    const std::string bin = (root_ / "usr" / "bin").string();
    const std::string config = (root_ / "home" / ".config").string();
    ScopedEnv set_home("HOME", &home);
    ScopedEnv no_config_home("XDG_CONFIG_HOME", nullptr);

    // A program run from a directory the user may write to keeps working there.
    ScopedEnv no_documents("XDG_DOCUMENTS_DIR", nullptr);
    EXPECT_EQ(WorkDirectory(home), home);

    // Installed: the documents directory that the desktop's user-dirs.dirs names.
    fs::create_directories(config);
    std::ofstream(config + "/user-dirs.dirs")
        << "# written by the desktop\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
           "XDG_DOCUMENTS_DIR=\"$HOME/文档\"\n";
    EXPECT_EQ(AsUnprivilegedUser(bin), documents);
    {
        // The environment names it first.
        const std::string elsewhere = root_.string();
        ScopedEnv env_documents("XDG_DOCUMENTS_DIR", &elsewhere);
        EXPECT_EQ(AsUnprivilegedUser(bin), elsewhere);
    }
    // A documents directory that does not exist leaves the home directory.
    fs::remove(root_ / "home" / "文档");
    EXPECT_EQ(AsUnprivilegedUser(bin), home);
}

}  // namespace
}  // namespace kesu::platform
