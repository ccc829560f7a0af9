#pragma once

// A seeded random walk of paths thrown at the deletion safety check over a temporary home full
// of traps (links into system locations, to the root, to the home, to ancestors; "..", "//",
// "."; very long and non-UTF-8 names). Every approval is checked against an independent oracle
// and then really moved to the Trash and back. Header-only so that the test suite and the
// longer run under bench/ share it.

#include "FernwickCore/Engines/SafetyEngine.h"
#include "FernwickCore/Platform/PathUtils.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fernwick::test {

struct SafetyWalkStats {
    std::int64_t iterations = 0;
    std::int64_t approved = 0;
    std::int64_t moved = 0;
    /// One line per approval the oracle disagrees with, or per move that went wrong.
    std::vector<std::string> violations;
};

class SafetyWalk {
public:
    explicit SafetyWalk(std::uint64_t seed) : m_random(seed) {
        const char* base = std::getenv("TMPDIR");
        std::string pattern =
            std::string(base && base[0] == '/' ? base : "/tmp") + "/fernwick-walk-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        m_root = paths::resolveSymlinks(pattern);
        build();
    }
    ~SafetyWalk() {
        std::error_code ec;
        std::filesystem::remove_all(m_root, ec); // never follows links
    }
    SafetyWalk(const SafetyWalk&) = delete;
    SafetyWalk& operator=(const SafetyWalk&) = delete;

    SafetyWalkStats run(std::int64_t iterations) {
        SafetyWalkStats stats;
        for (; stats.iterations < iterations; ++stats.iterations) {
            const std::string path = generate();
            const auto result = m_engine->validateTargetForDeletion(path);
            if (!result.isSafe) {
                continue;
            }
            ++stats.approved;
            if (const std::string why = oracle(path, result); !why.empty()) {
                stats.violations.push_back(path + ": " + why);
                continue;
            }
            moveAndRestore(path, result, stats);
        }
        return stats;
    }

    const SafetyEngine& engine() const { return *m_engine; }
    const Environment& environment() const { return m_env; }

private:
    using Path = std::filesystem::path;

    void file(const std::string& relative) {
        const Path path = m_root / relative;
        std::filesystem::create_directories(path.parent_path());
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0) {
            throw std::runtime_error("cannot create " + path.string());
        }
        ::close(fd);
    }
    void text(const std::string& relative, const std::string& contents) {
        file(relative);
        const int fd = ::open((m_root / relative).c_str(), O_WRONLY | O_CLOEXEC);
        const bool written = fd >= 0 && ::write(fd, contents.data(), contents.size()) ==
                                            static_cast<ssize_t>(contents.size());
        ::close(fd);
        if (!written) {
            throw std::runtime_error("cannot write " + relative);
        }
    }
    void link(const std::string& relative, const std::string& target) {
        const Path path = m_root / relative;
        std::filesystem::create_directories(path.parent_path());
        if (::symlink(target.c_str(), path.c_str()) != 0) {
            throw std::runtime_error("cannot link " + path.string());
        }
    }

    void build() {
        // The home is reached through a link, as on systems with /home -> /var/home.
        const std::string me = "var/home/me/";
        for (const char* name : {"Documents/a.txt",
                                 ".ssh/id",
                                 ".config/gh/hosts",
                                 ".config/other/x",
                                 "Library/Keychains/k",
                                 "Library/Caches/c",
                                 "Projects/app/main.c",
                                 "Work/file.txt",
                                 "Work/sub/deep.txt",
                                 "Downloads/big.iso",
                                 ".gitconfig",
                                 "Desktop/note",
                                 ".local/share/keyrings/login.keyring",
                                 ".local/share/kwalletd/kdewallet.kwl",
                                 ".local/share/other/z",
                                 ".password-store/mail.gpg",
                                 ".pki/nssdb/cert9.db",
                                 ".mozilla/firefox/p/key4.db",
                                 ".thunderbird/p/prefs.js",
                                 "Dokumente/brief.txt",
                                 ".cache/yarn/v6/a.tgz"}) {
            file(me + name);
        }
        // A localised Documents folder; the Desktop entry naming the home itself disables it.
        text(me + ".config/user-dirs.dirs",
             "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\nXDG_DESKTOP_DIR=\"$HOME/\"\n");
        file("data/keep/x");
        file("data/free/y");
        file(me + m_longName);
        file(me + m_oddName);
        link("home", m_root.string() + "/var/home");
        link(me + "sys", "/usr/bin");
        link(me + "etc", "/etc");
        link(me + "root", "/");
        link(me + "homeLink", m_root.string() + "/home/me");
        link(me + "docs", "Documents");
        link(me + "up", "../..");
        link(me + "rel", "../me/Documents");
        link(me + "dangling", "/bin/none-such");
        link(me + "danglingRel", "../../nowhere");
        link(me + "sshFile", ".ssh/id");
        link(me + "Work/etcLink", "/etc/hostname");
        link(me + "Work/cfg", "../.config");
        link(me + "Work/loop", "../Work");
        link(me + "Work/keepLink", m_root.string() + "/data/keep");
        link(me + "Documents/out", "../Work/file.txt");
        link("data/free/toKeys", m_root.string() + "/var/home/me/.ssh");

        m_env = Environment::forHome(m_root / "home/me");
        m_engine = std::make_unique<SafetyEngine>(m_env, nullptr);
        m_engine->addProtectedPath(m_env.home.string() + "/Projects");
        m_engine->addProtectedPath(m_root.string() + "/data/keep");
        m_trash = std::make_unique<Trash>(m_env);

        m_starts = {"/",
                    "/usr",
                    "/usr/bin",
                    "/etc",
                    "/var",
                    m_root.string(),
                    m_root.string() + "/data",
                    m_env.home.string(),
                    m_env.homeResolved.string(),
                    m_env.home.string() + "/Work",
                    m_env.homeResolved.string() + "/Documents"};
        m_names = {"Documents",
                   ".ssh",
                   "id",
                   ".config",
                   "gh",
                   "other",
                   "Library",
                   "Keychains",
                   "Caches",
                   "Projects",
                   "app",
                   "Work",
                   "file.txt",
                   "sub",
                   "deep.txt",
                   "Downloads",
                   ".gitconfig",
                   "Desktop",
                   "sys",
                   "etc",
                   "root",
                   "homeLink",
                   "docs",
                   "up",
                   "rel",
                   "dangling",
                   "danglingRel",
                   "sshFile",
                   "etcLink",
                   "cfg",
                   "loop",
                   "keepLink",
                   "out",
                   "toKeys",
                   "data",
                   "keep",
                   "free",
                   "y",
                   "x",
                   "home",
                   "me",
                   "var",
                   "bin",
                   "usr",
                   "hostname",
                   m_longName,
                   m_oddName,
                   std::string(300, 'L'),
                   "..",
                   "..",
                   ".",
                   "",
                   ".local",
                   "share",
                   "keyrings",
                   "kwalletd",
                   ".password-store",
                   ".pki",
                   ".mozilla",
                   ".thunderbird",
                   "Dokumente",
                   ".cache",
                   "yarn",
                   "user-dirs.dirs"};
    }

    std::string generate() {
        std::string path = m_starts[pick(m_starts.size())];
        const std::size_t steps = pick(7);
        for (std::size_t i = 0; i < steps; ++i) {
            // Mostly a real entry of the folder reached so far, so that the walk goes deep
            // through the links; else a trap from the list.
            std::vector<std::string> entries;
            if (pick(4) != 0) {
                entries = listing(paths::resolveSymlinks(path));
            }
            path += "/" + (entries.empty() ? m_names[pick(m_names.size())]
                                           : entries[pick(entries.size())]);
        }
        if (pick(8) == 0) {
            path += "/";
        }
        return path;
    }

    static std::vector<std::string> listing(const Path& folder) {
        std::vector<std::string> names;
        if (DIR* dir = ::opendir(folder.c_str())) {
            while (const dirent* entry = ::readdir(dir)) {
                names.emplace_back(entry->d_name);
            }
            ::closedir(dir);
        }
        std::sort(names.begin(), names.end()); // readdir order differs between runs
        return names;
    }

    std::size_t pick(std::size_t count) {
        return std::uniform_int_distribution<std::size_t>(0, count - 1)(m_random);
    }

    static bool atOrUnder(const std::string& path, const std::string& location) {
        return location == "/" ? !path.empty() && path[0] == '/'
                               : paths::isAtOrUnder(path, location);
    }

    // Independent of the engine: every protected location, in both home forms and resolved.
    std::vector<std::string> protectedForms() const {
        std::vector<std::string> forms;
        const auto add = [&](const std::string& location) {
            forms.push_back(location);
            forms.push_back(paths::resolveSymlinks(location).string());
        };
        for (const auto& prefix : m_engine->registry().systemProtectedPrefixes) {
            add(prefix);
        }
        // This platform's personal locations, written out here so that the oracle does not
        // trust the registry for them.
        std::vector<std::string> suffixes = m_engine->registry().userProtectedSuffixes;
        for (const char* own :
             {"/.local/share/keyrings", "/.local/share/kwalletd", "/.password-store", "/.pki",
              "/.mozilla", "/.thunderbird", "/Dokumente"}) {
            suffixes.emplace_back(own);
        }
        for (const auto& home : {m_env.home.string(), m_env.homeResolved.string()}) {
            for (const auto& suffix : suffixes) {
                add(home + suffix);
            }
        }
        for (const auto& entry : m_engine->getProtectedPaths()) {
            add(entry);
        }
        return forms;
    }

    std::string oracle(const std::string& path, const SafetyValidationResult& result) const {
        const std::string S = paths::standardize(path).string();
        const std::string name = paths::lastComponent(S);
        const std::string folder = paths::resolveSymlinks(Path(S).parent_path()).string();
        const std::string K = folder == "/" ? "/" + name : folder + "/" + name;
        const std::string R = result.canonicalPath ? result.canonicalPath->string() : "";
        const auto forms = protectedForms();
        for (const auto& target : {S, R, K}) {
            if (target.empty() || target == "/") {
                return "approved the root";
            }
            for (const auto& home : {m_env.home.string(), m_env.homeResolved.string()}) {
                if (atOrUnder(home, target)) {
                    return "approved the home or an ancestor of it (" + target + ")";
                }
            }
            for (const auto& form : forms) {
                if (atOrUnder(target, form)) {
                    return "approved " + target + " at or under " + form;
                }
                if (atOrUnder(form, target)) {
                    return "approved " + target + ", an ancestor of " + form;
                }
            }
        }
        return {};
    }

    // The approved item goes to the Trash and comes back to where it really lay; the item in
    // the Trash must be the one approved.
    void moveAndRestore(const std::string& path, const SafetyValidationResult& approval,
                        SafetyWalkStats& stats) {
        const std::string S = paths::standardize(path).string();
        const Path real = paths::resolveSymlinks(Path(S).parent_path()) / paths::lastComponent(S);
        if (!paths::isAtOrUnder(real.string(), m_root.string())) {
            return; // never move anything of the machine's own, even when it may go
        }
        const auto move = m_engine->moveToTrashChecked(path, std::nullopt, *m_trash);
        if (!move.moved()) {
            return; // refused later (raced) or failed (a folder into its own Trash): both fine
        }
        ++stats.moved;
        struct stat info {};
        if (::lstat(move.trashedURL->c_str(), &info) != 0 ||
            static_cast<std::uint64_t>(info.st_ino) != approval.inode ||
            static_cast<std::uint64_t>(info.st_dev) != approval.deviceID) {
            stats.violations.push_back(path + ": the Trash holds another item than approved");
        }
        if (!m_trash->restore(*move.trashedURL, real)) {
            stats.violations.push_back(path + ": could not be put back at " + real.string());
        }
    }

    std::mt19937_64 m_random;
    Path m_root;
    std::string m_longName = std::string(NAME_MAX, 'n');
    std::string m_oddName = "odd\xff\xfe name\n";
    Environment m_env;
    std::unique_ptr<SafetyEngine> m_engine;
    std::unique_ptr<Trash> m_trash;
    std::vector<std::string> m_starts;
    std::vector<std::string> m_names;
};

} // namespace fernwick::test
