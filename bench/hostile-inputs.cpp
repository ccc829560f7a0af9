// Hostile inputs against the state files, the Trash and the safety check, seeded and bounded.
//   hostile-inputs [seed = 1] [scale = 1]
// Every case runs in a child process with a time limit, so that a crash or a hang is counted
// rather than ending the run. Prints: bad inputs tried, crashes, hangs, data lost, protected
// paths approved, items moved that were not the items seen, and refusals that were not due or
// gave a false reason (the last five must be 0; the exit status says whether they are).
#include "FernwickCore/Engines/AppUninstallerEngine.h"
#include "FernwickCore/Engines/DeveloperStorageEngine.h"
#include "FernwickCore/Engines/DuplicateFinderEngine.h"
#include "FernwickCore/Engines/HistoryStore.h"
#include "FernwickCore/Engines/SafetyEngine.h"
#include "FernwickCore/Platform/AtomicFile.h"
#include "FernwickCore/Platform/MountTable.h"
#include "FernwickCore/Platform/PreferencesStore.h"
#include "FernwickCore/Platform/StateFile.h"
#include "FernwickCore/Platform/Trash.h"
#include "FernwickCore/Scanning/AsyncDiskScanner.h"
#include "tests/Support/SafetyWalk.h"
#ifdef FERNWICK_HOSTILE_UI
#include "FernwickUI/State/AppServices.h"
#include "FernwickUI/State/AppState.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstring>
#include <new>
#include <poll.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/un.h>
#endif

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <random>
#include <string>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace fernwick;

namespace {

struct Tally {
    long tried = 0, crashes = 0, hangs = 0, lost = 0, approved = 0, wrong = 0, falseRefusals = 0;
};

// What a case reports through its exit status: 0 held, 1 data lost, 2 protected approved, 3 an
// item moved (or measured) that was not the item the user saw, 4 a refusal that was not due or
// that gave a false reason.
constexpr int kHeld = 0, kLost = 1, kApproved = 2, kWrongMoved = 3, kFalseRefusal = 4;

void runCase(Tally& tally, int timeoutSeconds, const std::function<int()>& body) {
    ++tally.tried;
    const pid_t child = ::fork();
    if (child == 0) {
        ::alarm(static_cast<unsigned>(timeoutSeconds));
        std::signal(SIGALRM, [](int) { ::_exit(99); });
        ::_exit(body());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    if (WIFSIGNALED(status)) {
        ++tally.crashes;
    } else if (WEXITSTATUS(status) == 99) {
        ++tally.hangs;
    } else if (WEXITSTATUS(status) == kLost) {
        ++tally.lost;
    } else if (WEXITSTATUS(status) == kApproved) {
        ++tally.approved;
    } else if (WEXITSTATUS(status) == kWrongMoved) {
        ++tally.wrong;
    } else if (WEXITSTATUS(status) == kFalseRefusal) {
        ++tally.falseRefusals;
    }
}

fs::path makeTemporaryFolder() {
    char pattern[] = "/tmp/fernwick-hostile-XXXXXX";
    return ::mkdtemp(pattern);
}

// Takes down the mounts a case left below `root`, makes sealed folders removable again and
// removes everything.
void removeTree(const fs::path& root) {
    for (const auto& entry : readMountTable()) {
        if (entry.mountPoint.native().starts_with(root.native() + "/")) {
            ::umount2(entry.mountPoint.c_str(), MNT_DETACH);
        }
    }
    if (std::system(("chmod -R u+rwx '" + root.string() + "' 2>/dev/null").c_str()) != 0) {
        std::fprintf(stderr, "cannot unseal %s\n", root.c_str());
    }
    std::error_code ignored;
    fs::remove_all(root, ignored);
}

std::string randomBytes(std::mt19937_64& random, std::size_t length, bool anyByte) {
    std::string out(length, 'x');
    for (char& c : out) {
        c = anyByte ? static_cast<char>(random() % 256) : static_cast<char>(0x20 + random() % 0x5F);
    }
    return out;
}

// A damaged form of `text`: cut, bytes flipped, bytes inserted, or nested absurdly.
std::string damaged(std::mt19937_64& random, const std::string& text) {
    std::string out = text;
    switch (random() % 6) {
    case 0:
        out.resize(random() % (out.size() + 1));
        break;
    case 1:
        for (int i = 0; i < 4 && !out.empty(); ++i) {
            out[random() % out.size()] = static_cast<char>(random() % 256);
        }
        break;
    case 2:
        out.insert(random() % (out.size() + 1), randomBytes(random, 1 + random() % 16, true));
        break;
    case 3: {
        static const std::size_t depths[] = {63, 64, 65, 1000, 200000};
        const std::size_t depth = depths[random() % 5];
        out = "{\"x\":" + std::string(depth, '[') + std::string(depth, ']') + "}";
        break;
    }
    case 4:
        out = "{\"x\":\"" + randomBytes(random, 1 + random() % 64, true) + "\"}";
        break;
    default:
        out = "{\"n\":1e400,\"m\":-0,\"z\":\"\\u0000\",\"d\":1,\"d\":2,\"s\":\"\\ud800\"}";
        break;
    }
    return out;
}

// A new file of `contents` (plain open and write: the atomic writer's temporary name does not
// fit beside a name near the 255-byte limit). False when it could not be written.
bool putFile(const fs::path& file, const std::string& contents) {
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        return false;
    }
    const bool ok =
        ::write(fd, contents.data(), contents.size()) == static_cast<ssize_t>(contents.size());
    return ::close(fd) == 0 && ok;
}

std::string contentsOf(const fs::path& file) {
    auto text = readWholeFile(file);
    return text ? *text : std::string("<unreadable>");
}

bool sameFileAside(const fs::path& file, const std::string& original) {
    for (const auto& entry : fs::directory_iterator(file.parent_path())) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with(file.filename().string() + ".unreadable-")) {
            auto text = readWholeFile(entry.path());
            if (text && *text == original) {
                return true;
            }
        }
    }
    return false;
}

// Preferences: what the file held survives a write, in the file or set aside; strings of any
// bytes read back as written.
int preferencesCase(std::uint64_t seed) {
    std::mt19937_64 random(seed);
    const fs::path root = makeTemporaryFolder();
    const fs::path file = root / "preferences.json";
    const std::string valid = R"({"Fernwick_UserProtectedPaths":["/a","/b"],"k":"v","t":true})";
    std::string original = damaged(random, valid);
    (void)writeFileAtomically(file, original);
    if (random() % 10 == 0 &&
        ::truncate(file.c_str(), (off_t{16} << 20) + 1 + static_cast<off_t>(random() % 4096)) ==
            0) {
        original = contentsOf(file);
    }
    const std::string bytes = randomBytes(random, 1 + random() % 40, true);
    int verdict = kHeld;
    {
        PreferencesStore store(file);
        const auto before = statefile::parse(original);
        (void)store.setString("written", bytes);
        if (PreferencesStore(file).string("written") != bytes) {
            verdict = kLost;
        }
        const auto after = statefile::parse(contentsOf(file));
        bool kept = sameFileAside(file, original);
        if (!kept && before.is_object() && after.is_object()) {
            kept = true;
            for (const auto& [key, value] : before.items()) {
                kept = kept && (key == "written" || (after.contains(key) && after[key] == value));
            }
        }
        if (!kept && !original.empty()) {
            verdict = kLost;
        }
    }
    removeTree(root);
    return verdict;
}

// Snapshots: a timeline that reads is extended, anything else is set aside whole.
int snapshotsCase(std::uint64_t seed) {
    std::mt19937_64 random(seed);
    const fs::path root = makeTemporaryFolder();
    Environment env = Environment::forHome(root);
    const fs::path file = env.applicationSupport() / "snapshots.json";
    const std::string valid =
        R"([{"id":"0A1B2C3D-4E5F-4A6B-8C7D-9E0F1A2B3C4D","date":1,"totalUsedBytes":1,)"
        R"("totalFreeBytes":2,"categoryBreakdown":{"Caches":3}}])";
    std::string original = random() % 4 == 0 ? valid : damaged(random, valid);
    (void)writeFileAtomically(file, original);
    if (random() % 10 == 0 &&
        ::truncate(file.c_str(), (off_t{64} << 20) + 1 + static_cast<off_t>(random() % 4096)) ==
            0) {
        original = contentsOf(file); // over the size cap
    }
    const auto decoded = HistoryStore::decode(original);
    int verdict = kHeld;
    {
        HistoryStore store(env);
        store.recordSnapshot(1, 2, {{randomBytes(random, 8, true), 1}});
        const auto now = HistoryStore::decode(contentsOf(file));
        const bool extended = decoded && now && now->size() == decoded->size() + 1 &&
                              std::equal(decoded->begin(), decoded->end(), now->begin());
        if (!extended && !sameFileAside(file, original)) {
            verdict = kLost;
        }
    }
    removeTree(root);
    return verdict;
}

// A name of 1 to 255 random bytes (no "/" or NUL) ending in an extension of up to 250 bytes.
std::string randomEntryName(std::mt19937_64& random) {
    std::string name = randomBytes(random, 1 + random() % 200, random() % 2 == 0);
    for (char& c : name) {
        c = c == '/' || c == '\0' ? '_' : c;
    }
    name += "." + std::string(1 + random() % 250, 'e');
    name.resize(std::min<std::size_t>(name.size(), 255));
    return name;
}

// Trash names: long, odd and repeated names all go to the Trash and come back intact.
int trashNamesCase(std::uint64_t seed) {
    std::mt19937_64 random(seed);
    const fs::path root = makeTemporaryFolder();
    const Trash trash(Environment::forHome(root / "home"));
    int verdict = kHeld;
    for (int i = 0; i < 3 && verdict == kHeld; ++i) {
        const std::string name = randomEntryName(random);
        const fs::path folder = root / "home" / std::to_string(i);
        fs::create_directories(folder);
        std::vector<std::pair<fs::path, fs::path>> moved;
        for (int copy = 0; copy < 3; ++copy) {
            if (!putFile(folder / name, "content " + std::to_string(copy))) {
                std::fprintf(stderr, "trash names: cannot make a %zu-byte name\n", name.size());
                break;
            }
            auto result = trash.moveToTrash(folder / name);
            if (!result) {
                std::fprintf(stderr, "trash names: copy %d of a %zu-byte name not trashed: %s\n",
                             copy, name.size(), result.error().message().c_str());
                verdict = kLost; // a name that can never be trashed again
                break;
            }
            fs::create_directories(folder / ("back" + std::to_string(copy)));
            moved.emplace_back(*result, folder / ("back" + std::to_string(copy)) / name);
        }
        for (std::size_t copy = 0; copy < moved.size(); ++copy) {
            const auto restored = trash.restore(moved[copy].first, moved[copy].second);
            if (!restored || contentsOf(moved[copy].second) != "content " + std::to_string(copy)) {
                std::fprintf(stderr, "trash names: copy %zu of a %zu-byte name not restored: %s\n",
                             copy, name.size(),
                             restored ? "other contents" : restored.error().message().c_str());
                verdict = kLost;
            }
        }
    }
    removeTree(root);
    return verdict;
}

// A Trash full of traps: links and hard links to files outside, folders named like info
// files, FIFOs, sealed folders, a deep chain and (as root) a mount. Emptying loses nothing
// outside it.
int trashContentsCase(std::uint64_t seed) {
    std::mt19937_64 random(seed);
    const fs::path root = makeTemporaryFolder();
    const Environment env = Environment::forHome(root / "home");
    const Trash trash(env, {{}, [] { return std::vector<fs::path>{}; }});
    const fs::path outside = root / "outside";
    fs::create_directories(outside / "sub");
    (void)writeFileAtomically(outside / "sentinel", "keep");
    (void)writeFileAtomically(outside / "sub/sentinel", "keep");
    const fs::path files = env.dataHome / "Trash/files";
    const fs::path info = env.dataHome / "Trash/info";
    fs::create_directories(files);
    fs::create_directories(info);
    for (int i = 0; i < 12; ++i) {
        const fs::path item = files / ("item" + std::to_string(i));
        switch (random() % 7) {
        case 0:
            fs::create_symlink(outside, item);
            break;
        case 1:
            fs::create_hard_link(outside / "sentinel", item);
            break;
        case 2:
            fs::create_directories(info / ("item" + std::to_string(i) + ".trashinfo"));
            fs::create_directories(item / "a");
            fs::create_symlink(outside / "sub", item / "a/link");
            break;
        case 3:
            ::mkfifo(item.c_str(), 0600);
            break;
        case 4:
            fs::create_directories(item / "sealed/inner");
            ::chmod((item / "sealed/inner").c_str(), 0);
            ::chmod((item / "sealed").c_str(), 0);
            break;
        case 5: {
            fs::create_directories(item);
            int fd = ::open(item.c_str(), O_RDONLY | O_DIRECTORY);
            for (int level = 0; level < 2000 && fd >= 0; ++level) {
                ::mkdirat(fd, "d", 0755);
                const int next = ::openat(fd, "d", O_RDONLY | O_DIRECTORY);
                ::close(fd);
                fd = next;
            }
            ::close(fd);
            break;
        }
        default:
            fs::create_directories(item / "mnt");
            ::mount(outside.c_str(), (item / "mnt").c_str(), nullptr, MS_BIND, nullptr);
            break;
        }
    }
    (void)trash.empty();
    const bool kept = contentsOf(outside / "sentinel") == "keep" &&
                      contentsOf(outside / "sub/sentinel") == "keep";
    removeTree(root);
    return kept ? kHeld : kLost;
}

// Hostile info files: the info folder or an info file a link to files outside, info files
// that are folders, FIFOs, huge or random bytes, info files without items and items without
// info files. Trashing beside them never writes through a link or waits on a FIFO, counting
// and emptying never touch anything outside, and a trashed file survives until the emptying.
int trashInfoCase(std::uint64_t seed) {
    std::mt19937_64 random(seed);
    const fs::path root = makeTemporaryFolder();
    const Environment env = Environment::forHome(root / "home");
    const Trash trash(env, {{}, [] { return std::vector<fs::path>{}; }});
    const fs::path outside = root / "outside";
    fs::create_directories(outside);
    (void)writeFileAtomically(outside / "keep.trashinfo", "keep");
    (void)writeFileAtomically(outside / "keep", "keep");
    const fs::path files = env.dataHome / "Trash/files";
    const fs::path info = env.dataHome / "Trash/info";
    fs::create_directories(files);
    if (random() % 4 == 0) {
        fs::create_symlink(outside, info); // the whole info folder elsewhere
    } else {
        fs::create_directories(info);
    }
    const std::string name = "item" + std::to_string(random() % 3);
    for (int i = 0; i < 8; ++i) {
        const std::string base =
            i < 3 ? "item" + std::to_string(i) : randomBytes(random, 12, false);
        const fs::path at = info / (base + ".trashinfo");
        std::error_code ignored;
        switch (random() % 7) {
        case 0:
            fs::create_symlink(outside / "keep.trashinfo", at, ignored);
            break;
        case 1:
            fs::create_directories(at / "inner", ignored);
            break;
        case 2:
            ::mkfifo(at.c_str(), 0600);
            break;
        case 3: {
            const int fd = ::open(at.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
            if (fd >= 0) {
                (void)::ftruncate(fd, off_t{1} << 30); // sparse
                ::close(fd);
            }
            break;
        }
        case 4:
            (void)writeFileAtomically(at, randomBytes(random, 1 + random() % 4096, true));
            break;
        case 5:
            (void)writeFileAtomically(at, "[Trash Info]\nPath=/etc/passwd\nDeletionDate=x\n");
            break;
        default:
            fs::create_symlink(outside, files / base, ignored); // an item without info
            break;
        }
    }
    int verdict = kHeld;
    fs::create_directories(root / "home/work");
    (void)writeFileAtomically(root / "home/work" / name, "trashed");
    const auto moved = trash.moveToTrash(root / "home/work" / name);
    if (moved && contentsOf(*moved) != "trashed") {
        verdict = kLost;
    }
    (void)trash.itemCount();
    if (contentsOf(outside / "keep.trashinfo") != "keep") {
        verdict = kLost; // written through a link
    }
    (void)trash.empty();
    if (contentsOf(outside / "keep.trashinfo") != "keep" ||
        contentsOf(outside / "keep") != "keep") {
        verdict = kLost;
    }
    removeTree(root);
    return verdict;
}

// Mounts and a folder swapped for a link: every spelling of a folder at or above a mount is
// refused, and a swap during the check never moves the protected file.
int mountsAndRaceCase(std::uint64_t seed) {
    std::mt19937_64 random(seed);
    const fs::path root = makeTemporaryFolder();
    const fs::path home = root / "home";
    const Environment env = Environment::forHome(home);
    const SafetyEngine engine(env, std::make_shared<PreferencesStore>(env.preferencesFile()));
    const Trash trash(env);
    int verdict = kHeld;
    fs::create_directories(home / "project/sub/data");
    fs::create_directories(root / "disk");
    const bool mounted = ::mount((root / "disk").c_str(), (home / "project/sub/data").c_str(),
                                 nullptr, MS_BIND, nullptr) == 0;
    if (mounted) {
        fs::create_symlink(home / "project", home / "via");
        const char* spellings[] = {"project",         "project/",       "project/./sub",
                                   "via/sub",         "via/../project", "project//sub/data",
                                   "x/../project/sub"};
        for (const char* spelling : spellings) {
            if (engine.moveToTrashChecked(home / spelling, std::nullopt, trash).moved()) {
                verdict = kApproved;
            }
        }
    }
    (void)writeFileAtomically(home / "Documents/junk", "precious");
    fs::create_directories(home / "tmp/x");
    fs::create_symlink(home / "Documents", home / "tmp/xl");
    const int realFd = ::open((home / "tmp/x").c_str(), O_RDONLY | O_DIRECTORY);
    std::atomic<bool> stop{false};
    std::thread swapper([&] {
        while (!stop) {
            ::renameat2(AT_FDCWD, (home / "tmp/x").c_str(), AT_FDCWD, (home / "tmp/xl").c_str(),
                        RENAME_EXCHANGE);
        }
    });
    for (int i = 0; i < 300 + static_cast<int>(random() % 300) && verdict == kHeld; ++i) {
        ::close(::openat(realFd, "junk", O_WRONLY | O_CREAT, 0644));
        const auto outcome = engine.moveToTrashChecked(home / "tmp/x/junk", std::nullopt, trash);
        if (!fs::exists(home / "Documents/junk")) {
            verdict = kApproved;
        }
        if (outcome.moved()) {
            fs::remove(*outcome.trashedURL);
        }
    }
    stop = true;
    swapper.join();
    ::close(realFd);
    removeTree(root);
    return verdict;
}

// The random walk of the test suite over every spelling of protected places.
int safetyWalkCase(std::uint64_t seed, std::int64_t steps) {
    test::SafetyWalk walk(seed);
    return walk.run(steps).violations.empty() ? kHeld : kApproved;
}

} // namespace

// The uninstaller's listing over a hostile launcher folder: 300 AppImages, 300 launchers, one
// 2 GB sparse launcher and a FIFO named *.desktop. A hang is a listing past the time limit; a
// launcher that names another program counted as the AppImage's is "approved".
int launchersCase(std::uint64_t seed) {
    std::mt19937_64 random(seed);
    const fs::path root = makeTemporaryFolder();
    Environment env = Environment::forHome(root);
    const fs::path launchers = env.dataHome / "applications";
    fs::create_directories(launchers);
    fs::create_directories(root / "Applications");
    const int count = 300;
    for (int i = 0; i < count; ++i) {
        const fs::path image = root / "Applications" / ("App" + std::to_string(i) + ".AppImage");
        putFile(image, "x");
        const bool actionOnly = random() % 5 == 0;
        putFile(launchers / ("app" + std::to_string(i) + ".desktop"),
                actionOnly ? "[Desktop Entry]\nExec=/usr/bin/other\n[Desktop Action a]\nExec=" +
                                 image.string() + "\n"
                           : "[Desktop Entry]\nExec=" + image.string() + " %U\n");
    }
    putFile(launchers / "huge.desktop", "[Desktop Entry]\nExec=/x\n");
    (void)::truncate((launchers / "huge.desktop").c_str(), off_t{2} << 30);
    (void)::mkfifo((launchers / "fifo.desktop").c_str(), 0600);
    auto safety = std::make_shared<SafetyEngine>(
        env, std::make_shared<PreferencesStore>(env.preferencesFile()));
    AppUninstallerEngine engine(env, safety, std::make_shared<Trash>(env), RunningPrograms(),
                                root / "none");
    struct rusage before {};
    ::getrusage(RUSAGE_SELF, &before);
    const auto start = std::chrono::steady_clock::now();
    const auto apps = engine.scanInstalledApplications();
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    struct rusage after {};
    ::getrusage(RUSAGE_SELF, &after);
    std::fprintf(stderr, "listing %zu apps: %.0f ms, max RSS +%ld KiB\n", apps.size(), ms,
                 after.ru_maxrss - before.ru_maxrss);
    int verdict = kHeld;
    for (const auto& app : apps) {
        for (const auto& item : app.relatedItems) {
            const std::string text = contentsOf(item.url);
            if (text.find("[Desktop Action") != std::string::npos) {
                verdict = kApproved;
            }
        }
    }
    removeTree(root);
    return verdict;
}

// A file of `bytes` allocated bytes (no data written), with its folders.
void allocatedFile(const fs::path& file, off_t bytes) {
    fs::create_directories(file.parent_path());
    const int fd = ::open(file.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
    (void)::posix_fallocate(fd, 0, bytes);
    ::close(fd);
}

// A developer place that is a link, or lies beyond one, to a large folder: never offered as
// cleanable ("approved") and never measured through the link.
int linkedPlacesCase(std::uint64_t seed) {
    std::mt19937_64 random(seed);
    const fs::path root = makeTemporaryFolder();
    const fs::path home = root / "home";
    allocatedFile(root / "big/caches/blob", 120 << 20);
    const char* places[] = {".npm/_cacache", ".gradle/caches", "Library/Caches/pip",
                            "go/pkg/mod/cache"};
    const std::string place = places[random() % 4];
    const bool linkOnTheWay = random() % 2 == 0;
    const fs::path at = home / place;
    fs::create_directories(at.parent_path());
    if (linkOnTheWay) {
        fs::remove(at.parent_path());
        fs::create_directory_symlink(root / "big", at.parent_path());
        fs::rename(root / "big/caches", root / "big" / at.filename());
    } else {
        fs::create_directory_symlink(root / "big/caches", at);
    }
    DeveloperStorageEngine engine(Environment::forHome(home), Clock::system(), root / "sys");
    const int verdict = engine.scanDeveloperStorage().empty() ? kHeld : kApproved;
    removeTree(root);
    return verdict;
}

// An unreadable settings file is kept whole, and said so at start; a long export name is
// written; a history at its cap still reads back at the next start.
int settingsAndLimitsCase(std::uint64_t seed) {
    std::mt19937_64 random(seed);
    const fs::path root = makeTemporaryFolder();
    int verdict = kHeld;
    const fs::path prefs = root / "preferences.json";
    const std::string valid = R"({"Fernwick_UserProtectedPaths":["/a","/b"]})";
    const std::string cut = valid.substr(0, 1 + random() % (valid.size() - 2));
    putFile(prefs, cut);
    {
        PreferencesStore store(prefs);
        const auto& unreadable = store.unreadableAtStart();
        if (!unreadable || unreadable->keptAs.empty() || contentsOf(unreadable->keptAs) != cut) {
            verdict = kLost;
        }
    }
    const fs::path longName = root / std::string(240 + random() % 16, 'n');
    if (!writeFileAtomically(longName, "report\n") || contentsOf(longName) != "report\n") {
        verdict = kLost;
    }
    Environment env = Environment::forHome(root);
    HistoryStore::FileOps ops;
    ops.maxFileBytes = 4000 + random() % 4000;
    {
        HistoryStore store(env, Clock::system(), ops);
        for (int i = 0; i < 60; ++i) {
            store.recordSnapshot(i, i, {{"Caches", i}});
        }
    }
    if (HistoryStore(env, Clock::system(), ops).getSnapshots().empty()) {
        verdict = kLost;
    }
    removeTree(root);
    return verdict;
}

// ---------------------------------------------------------------------------------------------
// Removals of items the user saw, after what stands at their place was replaced by something
// with the same names (and numbers). Any such move counts as "wrong moved".
namespace {

// An engine and a Trash over a fresh home below `root`.
struct Door {
    explicit Door(const fs::path& home)
        : env(Environment::forHome(home)),
          engine(env, std::make_shared<PreferencesStore>(env.preferencesFile())), trash(env) {}
    Environment env;
    SafetyEngine engine;
    Trash trash;
};

// putFile() with the missing folders made first.
bool putFileIn(const fs::path& file, const std::string& contents) {
    std::error_code ignored;
    fs::create_directories(file.parent_path(), ignored);
    return putFile(file, contents);
}

// A case whose setup did not take place says so and counts as lost: it proved nothing.
int setupFailed(const fs::path& root, const char* what) {
    std::fprintf(stderr, "setup failed: %s\n", what);
    removeTree(root);
    return kLost;
}

FileIdentity seen(const fs::path& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 ? FileIdentity::of(info) : FileIdentity{};
}

// Rewrites `file` in place (same inode, same length) and dates it `shift` after `when`.
void rewriteInPlace(const fs::path& file, TimePoint when, std::chrono::nanoseconds shift) {
    const std::string text = contentsOf(file);
    const int fd = ::open(file.c_str(), O_WRONLY | O_CLOEXEC);
    (void)::pwrite(fd, std::string(text.size(), '#').data(), text.size(), 0);
    const auto since =
        std::chrono::duration_cast<std::chrono::nanoseconds>((when + shift).time_since_epoch());
    const struct timespec times[2] = {{0, UTIME_OMIT},
                                      {static_cast<time_t>(since.count() / 1'000'000'000),
                                       static_cast<long>(since.count() % 1'000'000'000)}};
    ::futimens(fd, times);
    ::close(fd);
}

// Items made in a seeded order on a volume, recorded, then the volume replaced at its mount
// point by another with the same names made in the same order (where a tmpfs can be mounted;
// elsewhere each item rewritten in place with equal numbers and a time moved by 1 ns to 1 s).
int replacedVolumeCase(std::uint64_t seed) {
    std::mt19937_64 random(seed);
    const fs::path root = makeTemporaryFolder();
    const fs::path card = root / "home/card";
    fs::create_directories(card);
    Door door(root / "home");
    const int count = 2 + static_cast<int>(random() % 12);
    const auto fill = [&](char mark) {
        for (int i = 0; i < count; ++i) {
            const fs::path item = card / ("item" + std::to_string(i));
            if (i % 3 == 2) {
                fs::create_directories(item);
                putFileIn(item / "inside", std::string(1 + i, mark));
            } else {
                putFileIn(item, std::string(100 + i, mark));
            }
        }
    };
    const bool mounted = ::mount("tmpfs", card.c_str(), "tmpfs", 0, "size=16m") == 0;
    fill('a');
    const TimePoint listed = listingStart();
    std::vector<FileIdentity> recorded;
    for (int i = 0; i < count; ++i) {
        recorded.push_back(seen(card / ("item" + std::to_string(i))).listedSince(listed));
    }
    if (mounted) {
        ::umount2(card.c_str(), MNT_DETACH);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        (void)::mount("tmpfs", card.c_str(), "tmpfs", 0, "size=16m");
        fill('b');
    } else {
        for (int i = 0; i < count; ++i) {
            const fs::path item = card / ("item" + std::to_string(i));
            if (i % 3 != 2) {
                const auto shift = std::chrono::nanoseconds(1 + random() % 1'000'000'000);
                rewriteInPlace(item, *recorded[static_cast<std::size_t>(i)].modified, shift);
            }
        }
    }
    for (int i = 0; i < count; ++i) {
        if (!fs::exists(card / ("item" + std::to_string(i)))) {
            return setupFailed(root, "the replacing volume lacks an item");
        }
    }
    int verdict = kHeld;
    for (int i = 0; i < count; ++i) {
        const fs::path item = card / ("item" + std::to_string(i));
        if (!mounted && i % 3 == 2) {
            continue; // a folder is not rewritten in place
        }
        if (door.engine.moveToTrashChecked(item, recorded[static_cast<std::size_t>(i)], door.trash)
                .moved()) {
            verdict = kWrongMoved;
        }
    }
    removeTree(root);
    return verdict;
}

// A developer place listed, then swapped for another folder, reached through a link to a new
// folder, or given a new entry: the clean with the listed identity moves none of them.
int developerSwapCase(std::uint64_t seed) {
    std::mt19937_64 random(seed);
    const fs::path root = makeTemporaryFolder();
    const fs::path home = root / "home";
    allocatedFile(home / ".cache/pip/blob", 51 << 20);
    Door door(home);
    const DeveloperStorageEngine engine(door.env, Clock::system(), root / "sys");
    const auto items = engine.scanDeveloperStorage();
    if (items.size() != 1) {
        return setupFailed(root, "the developer place is not listed");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    switch (random() % 3) {
    case 0:
        fs::rename(home / ".cache/pip", home / ".cache/pip-listed");
        putFileIn(home / ".cache/pip/new", "new");
        break;
    case 1:
        fs::rename(home / ".cache", home / "cache-aside");
        putFileIn(home / "work/pip/project", "work");
        fs::create_directory_symlink(home / "work", home / ".cache");
        break;
    default:
        putFileIn(home / ".cache/pip/added", "added");
        break;
    }
    if (!fs::exists(items[0].path)) {
        return setupFailed(root, "nothing stands at the listed place");
    }
    // A place only written into is the place listed: it goes with what it holds now.
    const bool busy = fs::exists(home / ".cache/pip/added");
    const bool moved =
        door.engine.moveToTrashChecked(items[0].path, items[0].identity, door.trash).moved();
    const int verdict = busy ? (moved ? kHeld : kFalseRefusal) : (moved ? kWrongMoved : kHeld);
    removeTree(root);
    return verdict;
}

// An item trashed, its entry emptied elsewhere or replaced, and another item of the same name
// trashed since: the restore with the identity of the first moves nothing, and the other keeps
// its info file.
int undoStrangerCase(std::uint64_t seed) {
    std::mt19937_64 random(seed);
    const fs::path root = makeTemporaryFolder();
    const fs::path home = root / "home";
    Door door(home);
    const std::string name = random() % 2 == 0 ? "a.txt" : randomEntryName(random);
    const fs::path original = home / "notes" / name;
    putFileIn(original, "mine");
    const auto move = door.engine.moveToTrashChecked(original, seen(original), door.trash);
    if (!move.moved()) {
        return setupFailed(root, "the first item was not trashed");
    }
    const FileIdentity trashed = seen(*move.trashedURL);
    const fs::path infoFile =
        door.env.dataHome / "Trash/info" / (move.trashedURL->filename().string() + ".trashinfo");
    fs::remove_all(*move.trashedURL);
    if (random() % 2 == 0) {
        fs::remove(infoFile);
        putFileIn(home / "other" / name, "other");
        (void)door.trash.moveToTrash(home / "other" / name);
    } else {
        putFileIn(home / "stranger", "other");
        fs::rename(home / "stranger", *move.trashedURL);
    }
    if (!fs::exists(*move.trashedURL)) {
        return setupFailed(root, "no other item stands under the trashed name");
    }
    int verdict = kHeld;
    if (door.trash.restore(*move.trashedURL, original, trashed) || fs::exists(original)) {
        verdict = kWrongMoved;
    } else if (!fs::exists(*move.trashedURL) || !fs::exists(infoFile)) {
        verdict = kLost;
    }
    removeTree(root);
    return verdict;
}

// Copies found by the scan and the duplicate search, then one of them (a ticked copy or the one
// that stays) rewritten in place at its length: neither the kept copy's check nor the door lets
// a ticked copy go.
int editedCopyCase(std::uint64_t seed) {
    std::mt19937_64 random(seed);
    const fs::path root = makeTemporaryFolder();
    const fs::path home = root / "home";
    const std::size_t size = 60000 + random() % 40000;
    const std::string bytes = randomBytes(random, size, true);
    putFileIn(home / "dups/original.bin", bytes);
    putFileIn(home / "dups/copy.bin", bytes);
    Door door(home);
    AsyncDiskScanner scanner;
    const DiskNodePtr tree = scanner.scan(home, 64, {});
    const auto clusters =
        DuplicateFinderEngine().findDuplicates(tree, 51200, DuplicateResolutionRule::keepOldest);
    if (clusters.size() != 1 || clusters[0].items.size() != 2) {
        return setupFailed(root, "the copies were not found");
    }
    const auto& items = clusters[0].items;
    const auto ticked = std::find_if(items.begin(), items.end(),
                                     [](const auto& item) { return item.isSelectedForCleanup; });
    const auto kept = std::find_if(items.begin(), items.end(),
                                   [](const auto& item) { return !item.isSelectedForCleanup; });
    const auto& edited = random() % 2 == 0 ? *ticked : *kept;
    rewriteInPlace(edited.url, edited.modifiedDate,
                   std::chrono::nanoseconds(1 + random() % 1'000'000'000));
    struct stat keptNow {};
    const bool keptAsFound =
        ::lstat(kept->url.c_str(), &keptNow) == 0 && kept->identity().matches(keptNow);
    int verdict = kHeld;
    if (keptAsFound &&
        door.engine.moveToTrashChecked(ticked->url, ticked->identity(), door.trash).moved()) {
        verdict = kWrongMoved;
    }
    removeTree(root);
    return verdict;
}

// ---------------------------------------------------------------------------------------------
// A folder is a container, a file is its contents.

// The identity of the node at `path` in `tree`, held to the listing that began at `listed`.
FileIdentity scannedIdentity(const DiskNodePtr& tree, const fs::path& path, TimePoint listed) {
    DiskNodePtr found;
    std::vector<DiskNodePtr> stack{tree};
    while (!stack.empty() && !found) {
        DiskNodePtr node = stack.back();
        stack.pop_back();
        if (node->url() == path) {
            found = node;
        }
        for (const auto& child : node->children) {
            stack.push_back(child);
        }
    }
    return found ? found->identity().listedSince(listed) : FileIdentity{};
}

// Folders scanned (some made just before the scan), then written into, emptied of an entry, or
// given a subfolder by their programs: each is still the folder seen and goes. Any refusal
// counts as false.
int busyFoldersCase(std::uint64_t seed) {
    std::mt19937_64 random(seed);
    const fs::path root = makeTemporaryFolder();
    const fs::path home = root / "home";
    const int count = 1 + static_cast<int>(random() % 8);
    for (int i = 0; i < count; ++i) {
        putFileIn(home / "caches" / ("c" + std::to_string(i)) / "entry", "cached");
    }
    Door door(home);
    const TimePoint listed = listingStart();
    AsyncDiskScanner scanner;
    const DiskNodePtr tree = scanner.scan(home, 64, {});
    int verdict = kHeld;
    for (int i = 0; i < count; ++i) {
        const fs::path folder = home / "caches" / ("c" + std::to_string(i));
        switch (random() % 3) {
        case 0:
            putFileIn(folder / ("new" + std::to_string(random() % 100)), "new");
            break;
        case 1:
            fs::remove(folder / "entry");
            break;
        default:
            fs::create_directories(folder / "sub/deeper");
            break;
        }
        if (random() % 2 == 0) {
            const struct timespec times[2] = {{0, UTIME_OMIT}, {1'000'000, 0}};
            ::utimensat(AT_FDCWD, folder.c_str(), times, AT_SYMLINK_NOFOLLOW);
        }
        const FileIdentity recorded = scannedIdentity(tree, folder, listed);
        if (!recorded.isKnown()) {
            return setupFailed(root, "the folder was not scanned");
        }
        if (!door.engine.moveToTrashChecked(folder, recorded, door.trash).moved()) {
            verdict = kFalseRefusal;
        }
    }
    removeTree(root);
    return verdict;
}

// A folder scanned, then another born at its place: the old one renamed away and a new one
// made, the old removed and a new one made (which may get its inode number back), or (where a
// tmpfs can be mounted) its volume mounted anew with the same items in the same order; each new
// one given the old folder's time. None goes.
int swappedFoldersCase(std::uint64_t seed) {
    std::mt19937_64 random(seed);
    const fs::path root = makeTemporaryFolder();
    const fs::path home = root / "home";
    const fs::path card = home / "card";
    fs::create_directories(card);
    const unsigned way = random() % 3;
    const bool mounted = way == 2 && ::mount("tmpfs", card.c_str(), "tmpfs", 0, "size=4m") == 0;
    const fs::path folder = card / "album";
    putFileIn(folder / "photo", "old");
    struct stat before {};
    ::lstat(folder.c_str(), &before);
    Door door(home);
    const TimePoint listed = listingStart();
    AsyncDiskScanner scanner;
    const DiskNodePtr tree = scanner.scan(home, 64, {});
    const FileIdentity recorded = scannedIdentity(tree, folder, listed);
    if (mounted) {
        ::umount2(card.c_str(), MNT_DETACH);
        (void)::mount("tmpfs", card.c_str(), "tmpfs", 0, "size=4m");
    } else if (way == 0) {
        fs::rename(folder, card / "album-away");
    } else {
        fs::remove_all(folder);
    }
    putFileIn(folder / "photo", "new");
    const struct timespec times[2] = {before.st_atim, before.st_mtim};
    ::utimensat(AT_FDCWD, folder.c_str(), times, AT_SYMLINK_NOFOLLOW);
    const bool moved = door.engine.moveToTrashChecked(folder, recorded, door.trash).moved();
    if (mounted) {
        ::umount2(card.c_str(), MNT_DETACH);
    }
    removeTree(root);
    return moved ? kWrongMoved : kHeld;
}

// A file scanned and two copies searched, then the file and one copy (the kept one or the
// ticked one) rewritten at their length and given their recorded times again: the single move
// refuses the file as changed, and the ticked copy stays. A refusal that calls the file
// replaced counts as false.
int timeSetBackCase(std::uint64_t seed) {
    std::mt19937_64 random(seed);
    const fs::path root = makeTemporaryFolder();
    const fs::path home = root / "home";
    const std::size_t size = 60000 + random() % 40000;
    const std::string bytes = randomBytes(random, size, true);
    putFileIn(home / "notes/report.txt", randomBytes(random, 100 + random() % 1000, true));
    putFileIn(home / "dups/original.bin", bytes);
    putFileIn(home / "dups/copy.bin", bytes);
    Door door(home);
    const TimePoint listed = listingStart();
    AsyncDiskScanner scanner;
    const DiskNodePtr tree = scanner.scan(home, 64, {});
    const auto clusters =
        DuplicateFinderEngine().findDuplicates(tree, 51200, DuplicateResolutionRule::keepOldest);
    const FileIdentity report = scannedIdentity(tree, home / "notes/report.txt", listed);
    if (clusters.size() != 1 || clusters[0].items.size() != 2 || !report.modified) {
        return setupFailed(root, "the file or the copies were not found");
    }
    const auto& items = clusters[0].items;
    const auto ticked = std::find_if(items.begin(), items.end(),
                                     [](const auto& item) { return item.isSelectedForCleanup; });
    const auto kept = std::find_if(items.begin(), items.end(),
                                   [](const auto& item) { return !item.isSelectedForCleanup; });
    rewriteInPlace(home / "notes/report.txt", *report.modified, std::chrono::nanoseconds(0));
    const auto& edited = random() % 2 == 0 ? *ticked : *kept;
    rewriteInPlace(edited.url, edited.modifiedDate, std::chrono::nanoseconds(0));

    int verdict = kHeld;
    const CheckedTrashMove single =
        door.engine.moveToTrashChecked(home / "notes/report.txt", report, door.trash);
    if (single.moved()) {
        verdict = kWrongMoved;
    } else if (single.validation.reason != SafetyEngine::kChangedReason) {
        verdict = kFalseRefusal;
    }
    // The duplicates clean's rule: the copy that stays must be as the search found it.
    const auto keptNow = EntryState::at(AT_FDCWD, kept->url.native());
    const bool keptAsFound =
        keptNow && kept->identity().listedSince(clusters[0].listedAt).matches(*keptNow);
    if (keptAsFound &&
        door.engine
            .moveToTrashChecked(ticked->url, ticked->identity().listedSince(clusters[0].listedAt),
                                door.trash)
            .moved()) {
        verdict = kWrongMoved;
    }
    removeTree(root);
    return verdict;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Undo after the world changed: the item's old folder (or one on the way to it) replaced by a
// link to a folder anyone may write to, the entry emptied, restored by other means, replaced
// by another item of its name or touched in the Trash, another item at its old place, or
// nothing changed at all (its home reached through a link, or not). A folder touched in the
// Trash is still the folder moved there (a folder is a container) and must come back; a file
// touched there must stay, refused as changed. The restore goes where the move took the item
// from, as the undo does. Anything moved through a link or onto the wrong item is "wrong
// moved", a lost entry or info file "data lost", and a refusal that was not due or that says
// the item is gone when it is there (or the other way round) "false refusal".
namespace {

enum class UndoTwist : std::uint8_t {
    linkedFolder,
    emptied,
    restoredElsewhere,
    strangerInTrash,
    touched,
    placeTaken,
    unchanged,
    count
};

// Whether the restore must move the entry back for `twist`.
bool mustRestore(UndoTwist twist, bool isFolder) {
    return twist == UndoTwist::unchanged || (twist == UndoTwist::touched && isFolder);
}

// What the restore's answer must be for `twist`: which reason, and whether the entry is gone.
bool answerIsTrue(UndoTwist twist, bool isFolder, const Status& restored) {
    if (mustRestore(twist, isFolder)) {
        return bool(restored);
    }
    if (restored) {
        return false;
    }
    const SystemError& error = restored.error();
    const bool gone = Trash::isNoLongerInTrash(error);
    switch (twist) {
    case UndoTwist::linkedFolder:
        return !gone && error.code == ELOOP &&
               error.detail.find(Trash::kLinkOnTheWayReason) != std::string::npos;
    case UndoTwist::emptied:
    case UndoTwist::restoredElsewhere:
        return gone && error.detail == Trash::kNoLongerThereReason;
    case UndoTwist::strangerInTrash:
        return gone && error.detail == Trash::kNotTheTrashedItemReason;
    case UndoTwist::touched:
        return !gone && error.detail == Trash::kChangedInTrashReason;
    default:
        return !gone && error.code == EEXIST;
    }
}

int undoTruthsCase(std::uint64_t seed) {
    std::mt19937_64 random(seed);
    const fs::path root = makeTemporaryFolder();
    const auto twist = static_cast<UndoTwist>(random() % static_cast<int>(UndoTwist::count));
    // The home reached through a link now and then: the restore must still find its place.
    fs::create_directories(root / "home");
    const bool linkedHome = random() % 3 == 0;
    if (linkedHome) {
        fs::create_directory_symlink(root / "home", root / "via");
    }
    const fs::path home = root / (linkedHome ? "via" : "home");
    Door door(home);
    const int depth = 1 + static_cast<int>(random() % 4);
    fs::path folder = home;
    for (int i = 0; i < depth; ++i) {
        folder /= "d" + std::to_string(i);
    }
    const std::string name = random() % 2 == 0 ? "a.txt" : randomEntryName(random);
    const fs::path original = folder / name;
    const bool isFolder = random() % 3 == 0;
    if (!(isFolder ? putFileIn(original / "inside", "mine") : putFileIn(original, "mine"))) {
        return setupFailed(root, "the item was not made");
    }
    const auto move = door.engine.moveToTrashChecked(original, seen(original), door.trash);
    if (!move.moved()) {
        return setupFailed(root, "the item was not trashed");
    }
    const fs::path trashed = *move.trashedURL;
    const FileIdentity entry = trashedEntryIdentity(trashed, move.validation.identity());
    const fs::path infoFile =
        door.env.dataHome / "Trash/info" / (trashed.filename().string() + ".trashinfo");
    const fs::path open = root / "open";
    fs::path reachedThroughLink;
    switch (twist) {
    case UndoTwist::linkedFolder: {
        // A folder at a random depth of the way swapped for a link to the same way below a
        // folder anyone may write to.
        const int at = static_cast<int>(random() % depth);
        fs::path swapped = root / "home";
        fs::path below = open;
        for (int i = 0; i < depth; ++i) {
            const std::string part = "d" + std::to_string(i);
            if (i <= at) {
                swapped /= part;
            }
            if (i > at) {
                below /= part;
            }
        }
        fs::create_directories(below);
        ::chmod(open.c_str(), 0777);
        fs::rename(swapped, root / "aside");
        fs::create_directory_symlink(open, swapped);
        reachedThroughLink = below / name;
        break;
    }
    case UndoTwist::emptied:
        fs::remove_all(trashed);
        fs::remove(infoFile);
        break;
    case UndoTwist::restoredElsewhere:
        fs::rename(trashed, root / "elsewhere");
        fs::remove(infoFile);
        break;
    case UndoTwist::strangerInTrash:
        // Its folder made first, so that the stranger most often gets the freed inode number.
        fs::create_directories(home / "other");
        fs::remove_all(trashed);
        fs::remove(infoFile);
        putFileIn(home / "other" / name, "other");
        if (!door.trash.moveToTrash(home / "other" / name) || !fs::exists(trashed)) {
            return setupFailed(root, "no other item took the trashed name");
        }
        break;
    case UndoTwist::touched: {
        const auto shift = static_cast<long>(1 + random() % 999'999'999);
        const struct timespec times[2] = {{0, UTIME_OMIT}, {1'000'000, shift}};
        ::utimensat(AT_FDCWD, trashed.c_str(), times, AT_SYMLINK_NOFOLLOW);
        break;
    }
    case UndoTwist::placeTaken:
        putFileIn(original, "theirs");
        break;
    default:
        break;
    }
    const Status restored = door.trash.restore(trashed, move.movedFrom, entry);
    int verdict = answerIsTrue(twist, isFolder, restored) ? kHeld : kFalseRefusal;
    const bool restores = mustRestore(twist, isFolder);
    const bool entryMustStay =
        !restores && (twist == UndoTwist::linkedFolder || twist == UndoTwist::touched ||
                      twist == UndoTwist::placeTaken || twist == UndoTwist::strangerInTrash);
    if (!reachedThroughLink.empty() && fs::exists(fs::symlink_status(reachedThroughLink))) {
        verdict = kWrongMoved;
    } else if (twist == UndoTwist::strangerInTrash && fs::exists(fs::symlink_status(original))) {
        verdict = kWrongMoved;
    } else if (entryMustStay &&
               (!fs::exists(fs::symlink_status(trashed)) || !fs::exists(infoFile))) {
        verdict = kLost;
    } else if (twist == UndoTwist::placeTaken && contentsOf(original) != "theirs") {
        verdict = kLost;
    } else if (restores && !fs::exists(isFolder ? original / "inside" : original)) {
        verdict = kLost;
    }
    if (verdict != kHeld) {
        std::fprintf(stderr, "undo truths, twist %d: %s\n", static_cast<int>(twist),
                     restored ? "restored" : restored.error().message().c_str());
    }
    removeTree(root);
    return verdict;
}

} // namespace

// An AppImage whose leftovers are symbolic links to "/", to a large folder or to a large file:
// each is measured as the link itself (a bigger size counts as wrong), the listing does not
// walk what they point to (a walk of "/" runs into the time limit) and the uninstall moves no
// target.
int uninstallerLinksCase(std::uint64_t seed) {
    std::mt19937_64 random(seed);
    const fs::path root = makeTemporaryFolder();
    Environment env = Environment::forHome(root / "home");
    fs::create_directories(root / "big/deeper");
    const int fd = ::open((root / "big/deeper/blob").c_str(), O_CREAT | O_WRONLY, 0600);
    (void)::posix_fallocate(fd, 0, 64 << 20);
    ::close(fd);
    const fs::path image = env.home / "Applications/Tool-1.0-x86_64.AppImage";
    fs::create_directories(image.parent_path());
    putFile(image, "image");
    const fs::path targets[] = {"/", root / "big", root / "big/deeper/blob", "/usr"};
    for (const fs::path& base : {env.configHome, env.dataHome, env.cacheHome}) {
        fs::create_directories(base);
        const fs::path target = targets[random() % 4];
        fs::create_symlink(target, base / (random() % 2 == 0 ? "Tool" : "tool"));
    }
    auto safety = std::make_shared<SafetyEngine>(
        env, std::make_shared<PreferencesStore>(env.preferencesFile()));
    AppUninstallerEngine engine(env, safety, std::make_shared<Trash>(env), RunningPrograms(),
                                root / "none");
    auto apps = engine.scanInstalledApplications();
    // The AppImage and its three leftovers must be listed, else the case proved nothing.
    int verdict = apps.size() == 1 && apps[0].relatedItems.size() == 3 ? kHeld : kWrongMoved;
    for (auto& app : apps) {
        for (auto& item : app.relatedItems) {
            struct stat info {};
            if (::lstat(item.url.c_str(), &info) != 0 || item.size != info.st_size) {
                verdict = kWrongMoved;
            }
            item.isSelected = true;
        }
        try {
            engine.uninstallApp(app, true);
        } catch (const std::exception&) {
        }
    }
    struct stat info {};
    if (::stat((root / "big/deeper/blob").c_str(), &info) != 0 || ::stat("/usr", &info) != 0) {
        verdict = kLost;
    }
    removeTree(root);
    return verdict;
}

#ifdef FERNWICK_HOSTILE_UI
// Two duplicate cleans through the view model, the second asked for 0-40 ms after the first with
// the opposite ticks: a group must keep a copy outside the Trash (else data lost), and the
// second clean, asked for while the first runs, moves nothing (else a wrong item moved).
int overlappingDuplicateCleansCase(std::uint64_t seed) {
    std::mt19937_64 random(seed);
    const fs::path root = makeTemporaryFolder();
    Environment env = Environment::forHome(root / "home");
    int argc = 1;
    char name[] = "hostile-inputs";
    char* argv[] = {name, nullptr};
    QCoreApplication application(argc, argv);
    ui::AppServices services = ui::AppServices::real();
    services.preferences = std::make_shared<PreferencesStore>(env.preferencesFile());
    services.safety = std::make_shared<SafetyEngine>(env, services.preferences);
    services.trash = std::make_shared<Trash>(env);
    services.home = env.home;
    services.findDuplicates = [](const DiskNodePtr&, std::int64_t, DuplicateResolutionRule) {
        return std::vector<DuplicateCluster>{};
    };
    services.checkForUpdate = [](const std::string&) {
        return UpdateCheckResult{UpdateCheckResult::Kind::upToDate, std::nullopt, {}};
    };
    const int groups = 50 + static_cast<int>(random() % 400);
    std::vector<DuplicateCluster> clusters;
    for (int g = 0; g < groups; ++g) {
        DuplicateCluster cluster;
        cluster.id = Uuid::random();
        cluster.fileSize = 6;
        for (int copy = 0; copy < 2; ++copy) {
            const fs::path file =
                env.home / "dups" / std::to_string(g) / (copy == 0 ? "original" : "copy");
            fs::create_directories(file.parent_path());
            putFile(file, "group\n");
            struct stat info {};
            ::lstat(file.c_str(), &info);
            DuplicateFileItem item;
            item.id = Uuid::random();
            item.url = file;
            item.size = 6;
            item.inode = static_cast<std::uint64_t>(info.st_ino);
            item.isOriginal = copy == 0;
            item.isSelectedForCleanup = copy == 1;
            cluster.items.push_back(std::move(item));
        }
        clusters.push_back(std::move(cluster));
    }
    int verdict = kHeld;
    {
        ui::AppState state(services);
        state.setDuplicateClusters(clusters);
        int finished = 0;
        state.cleanDuplicates([&] { ++finished; });
        QElapsedTimer waited;
        waited.start();
        const auto delay = static_cast<qint64>(random() % 41);
        while (waited.elapsed() < delay) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        for (const auto& cluster : clusters) {
            state.setDuplicateSelected(cluster.id, cluster.items[0].id, true);
            state.setDuplicateSelected(cluster.id, cluster.items[1].id, false);
        }
        state.cleanDuplicates([&] { ++finished; });
        while (finished < 2) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
    }
    for (int g = 0; g < groups; ++g) {
        const fs::path group = env.home / "dups" / std::to_string(g);
        const bool original = fs::exists(group / "original");
        if (!original && !fs::exists(group / "copy")) {
            verdict = kLost;
        } else if (!original && verdict == kHeld) {
            verdict = kWrongMoved;
        }
    }
    removeTree(root);
    return verdict;
}

// Starts the program 2-5 times over one session (no display; a socket, a lock file or both left
// by a crashed copy, or none): exactly one copy may stay running (two copies would each write
// their own protected list over the other's: counted as data lost), the others end with status 0.
int secondStartsCase(std::uint64_t seed) {
    std::mt19937_64 random(seed);
    const fs::path root = makeTemporaryFolder();
    const fs::path runtime = root / "runtime";
    fs::create_directories(runtime);
    ::chmod(runtime.c_str(), 0700);
    const int leftovers = static_cast<int>(random() % 4);
    if ((leftovers & 1) != 0) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, (runtime / "tarnbrook-ridar.socket").c_str(),
                     sizeof(address.sun_path) - 1);
        (void)::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address));
        ::close(fd);
    }
    if ((leftovers & 2) != 0) {
        putFile(runtime / "tarnbrook-ridar.lock", "");
    }
    ::setenv("HOME", (root / "home").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (root / "home/.config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (root / "home/.local/share").c_str(), 1);
    ::setenv("XDG_CACHE_HOME", (root / "home/.cache").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::unsetenv("XDG_ACTIVATION_TOKEN");
    ::unsetenv("DESKTOP_STARTUP_ID");
    const int starts = 2 + static_cast<int>(random() % 4);
    std::vector<pid_t> copies;
    for (int i = 0; i < starts; ++i) {
        const pid_t child = ::fork();
        if (child == 0) {
            const int quiet = ::open("/dev/null", O_WRONLY);
            ::dup2(quiet, STDOUT_FILENO);
            ::dup2(quiet, STDERR_FILENO);
            ::execl(RIDAR_PROGRAM, RIDAR_PROGRAM, static_cast<char*>(nullptr));
            ::_exit(127);
        }
        copies.push_back(child);
        std::this_thread::sleep_for(std::chrono::milliseconds(random() % 300));
    }
    // The later starts end within the patience they have; what runs after that stays.
    int running = starts;
    int verdict = kHeld;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    std::vector<bool> ended(copies.size(), false);
    while (running > 1 && std::chrono::steady_clock::now() < deadline) {
        for (std::size_t i = 0; i < copies.size(); ++i) {
            int status = 0;
            if (!ended[i] && ::waitpid(copies[i], &status, WNOHANG) == copies[i]) {
                ended[i] = true;
                --running;
                if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
                    verdict = kWrongMoved;
                }
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (running != 1) {
        verdict = kLost;
    }
    for (std::size_t i = 0; i < copies.size(); ++i) {
        if (!ended[i]) {
            ::kill(copies[i], SIGKILL);
            ::waitpid(copies[i], nullptr, 0);
        }
    }
    removeTree(root);
    return verdict;
}

// Starts from sessions that see the runtime folder differently (another one, none, one that
// cannot be made, another user's, one open to everybody or to the group, a link, one too deep
// for a socket address), the first copy sometimes short of descriptors and flooded with idle
// connections, and, as root, another user's program listening in an open folder under the
// name the running copy would choose. Exactly one copy may run over the preferences; each
// later start must reach it and end with 0; the other user's program must hear nothing.
struct StartSessionCounts {
    std::atomic<long> cases, oneCopy, laterStarts, laterUnanswered, wrongPeers, idlePeers;
};
// Made before main, so that every case process, forked later, adds to the same counts.
StartSessionCounts* const kStartSessionCounts =
    new (::mmap(nullptr, sizeof(StartSessionCounts), PROT_READ | PROT_WRITE,
                MAP_SHARED | MAP_ANONYMOUS, -1, 0)) StartSessionCounts{};

bool sessionLockHeld(const fs::path& lock) {
    const int fd = ::open(lock.c_str(), O_RDONLY | O_CLOEXEC);
    const bool held = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    if (fd >= 0) {
        ::close(fd);
    }
    return held;
}

int startSessionsCase(std::uint64_t seed, long total) {
    StartSessionCounts& counts = *kStartSessionCounts;
    const long index = ++counts.cases;
    std::mt19937_64 random(seed);
    const fs::path root = makeTemporaryFolder();
    ::chmod(root.c_str(), 0711);
    const fs::path config = root / "home/.config";
    const fs::path lock = config / "Fernwick/tarnbrook-ridar.lock";
    fs::create_directories(lock.parent_path());
    putFile(lock, "");
    const bool asRoot = ::geteuid() == 0;
    // Another user's program, listening under the name the running copy would take.
    const fs::path openFolder = root / "open";
    fs::create_directories(openFolder);
    ::chmod(openFolder.c_str(), 01777);
    int impostorControl = -1, impostorReport = -1;
    pid_t impostor = -1;
    struct stat lockInfo {};
    ::stat(lock.c_str(), &lockInfo);
    if (asRoot && random() % 2 == 0) {
        int control[2], report[2];
        if (::pipe(control) != 0 || ::pipe(report) != 0) {
            return setupFailed(root, "pipe");
        }
        const fs::path fake = openFolder / ("tarnbrook-ridar-" + std::to_string(lockInfo.st_dev) +
                                            "-" + std::to_string(lockInfo.st_ino) + ".socket");
        putFile(lock, fake.native() + "\n"); // and the lock names it, as a stale record would
        impostor = ::fork();
        if (impostor == 0) {
            ::close(control[1]);
            ::close(report[0]);
            if (::setgid(65534) != 0 || ::setuid(65534) != 0) {
                ::_exit(0);
            }
            const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            std::strncpy(address.sun_path, fake.c_str(), sizeof(address.sun_path) - 1);
            (void)::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof(address));
            ::chmod(fake.c_str(), 0666);
            ::listen(listener, 64);
            char heard = 0;
            for (;;) {
                pollfd entries[2] = {{listener, POLLIN, 0}, {control[0], POLLIN, 0}};
                ::poll(entries, 2, -1);
                if (entries[1].revents != 0) {
                    break;
                }
                const int peer = ::accept(listener, nullptr, nullptr);
                pollfd data{peer, POLLIN, 0};
                char byte = 0;
                if (::poll(&data, 1, 200) == 1 && ::recv(peer, &byte, 1, 0) == 1) {
                    heard = 1;
                }
                ::close(peer);
            }
            ::_exit(::write(report[1], &heard, 1) == 1 ? 0 : 1);
        }
        ::close(control[0]);
        ::close(report[1]);
        impostorControl = control[1];
        impostorReport = report[0];
    }
    // The runtime folders sessions may have; empty: none set.
    const fs::path privateOne = root / "runtime";
    fs::create_directories(privateOne);
    ::chmod(privateOne.c_str(), 0700);
    const fs::path foreign = root / "foreign";
    fs::create_directories(foreign);
    ::chmod(foreign.c_str(), 0700);
    if (asRoot) {
        if (::chown(foreign.c_str(), 65534, 65534) != 0) {
            return setupFailed(root, "chown");
        }
    }
    const fs::path group = root / "group";
    fs::create_directories(group);
    ::chmod(group.c_str(), 0750);
    const fs::path deep = root / std::string(110, 'd');
    fs::create_directories(deep);
    ::chmod(deep.c_str(), 0700);
    const fs::path link = root / "link";
    fs::create_symlink(privateOne, link);
    putFile(root / "a-file", "");
    const std::vector<fs::path> runtimes = {privateOne,
                                            fs::path(),
                                            root / "a-file/runtime",
                                            root / "missing/runtime",
                                            foreign,
                                            openFolder,
                                            group,
                                            deep,
                                            link};
    ::setenv("HOME", (root / "home").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    ::setenv("XDG_DATA_HOME", (root / "home/.local/share").c_str(), 1);
    ::setenv("XDG_CACHE_HOME", (root / "home/.cache").c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::unsetenv("DESKTOP_STARTUP_ID");
    const bool flood = random() % 3 == 0;
    const auto start = [&](const fs::path& runtime, bool fewDescriptors) {
        const std::string token = "token-" + std::to_string(random() % 1000);
        const pid_t child = ::fork();
        if (child == 0) {
            if (runtime.empty()) {
                ::unsetenv("XDG_RUNTIME_DIR");
            } else {
                ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
            }
            ::setenv("XDG_ACTIVATION_TOKEN", token.c_str(), 1);
            if (fewDescriptors) {
                const rlimit few{128, 128};
                ::setrlimit(RLIMIT_NOFILE, &few);
            }
            const int quiet = ::open("/dev/null", O_WRONLY);
            ::dup2(quiet, STDOUT_FILENO);
            ::dup2(quiet, STDERR_FILENO);
            ::execl(RIDAR_PROGRAM, RIDAR_PROGRAM, static_cast<char*>(nullptr));
            ::_exit(127);
        }
        return child;
    };
    const pid_t first = start(runtimes[random() % runtimes.size()], flood);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!sessionLockHeld(lock) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::vector<int> idle;
    if (flood) {
        const std::string record = contentsOf(lock);
        const fs::path socket =
            record.empty() ? fs::path() : fs::path(record.substr(0, record.size() - 1));
        const int peers = 200 + static_cast<int>(random() % 1000);
        for (int i = 0; i < peers && !socket.empty(); ++i) {
            const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            std::strncpy(address.sun_path, socket.c_str(), sizeof(address.sun_path) - 1);
            if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0) {
                idle.push_back(fd);
            } else {
                ::close(fd);
            }
        }
        counts.idlePeers += static_cast<long>(idle.size());
    }
    // The later starts, one after another or side by side.
    std::vector<pid_t> later;
    const int starts = 1 + static_cast<int>(random() % 4);
    for (int i = 0; i < starts; ++i) {
        later.push_back(start(runtimes[random() % runtimes.size()], false));
        if (random() % 2 == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(random() % 200));
        }
    }
    // A later start still running after its patience and more is a second copy.
    bool secondCopy = false;
    const auto patience = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    for (const pid_t child : later) {
        int status = 0;
        while (::waitpid(child, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > patience) {
                secondCopy = true;
                ::kill(child, SIGKILL);
                ::waitpid(child, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        ++counts.laterStarts;
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            ++counts.laterUnanswered;
        }
    }
    for (const int fd : idle) {
        ::close(fd);
    }
    int firstStatus = 0;
    const bool firstRuns = ::waitpid(first, &firstStatus, WNOHANG) == 0;
    const bool oneCopy = firstRuns && !secondCopy && sessionLockHeld(lock);
    int verdict = oneCopy ? kHeld : kLost;
    counts.oneCopy += oneCopy ? 1 : 0;
    if (firstRuns) {
        ::kill(first, SIGKILL);
        ::waitpid(first, nullptr, 0);
    }
    if (impostor > 0) {
        ::close(impostorControl);
        char heard = 0;
        if (::read(impostorReport, &heard, 1) != 1) {
            heard = 1; // it ended without saying: counted as answered
        }
        ::close(impostorReport);
        ::waitpid(impostor, nullptr, 0);
        if (heard != 0) {
            ++counts.wrongPeers;
            verdict = kWrongMoved;
        }
    }
    removeTree(root);
    if (index == total) {
        // Written past stdio: this process's copy of the parent's buffer must not come out too.
        char line[256];
        const int size = std::snprintf(
            line, sizeof(line),
            "  (start sessions: %ld cases, one copy running in %ld, %ld later starts, %ld not "
            "answered, %ld idle peers, wrong peers answered %ld)\n",
            counts.cases.load(), counts.oneCopy.load(), counts.laterStarts.load(),
            counts.laterUnanswered.load(), counts.idlePeers.load(), counts.wrongPeers.load());
        if (size > 0 && ::write(STDOUT_FILENO, line, static_cast<std::size_t>(size)) < 0) {
            std::perror("start sessions");
        }
    }
    return verdict;
}
#endif

int main(int argc, char** argv) {
    const std::uint64_t seed = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1;
    const int scale = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1;
    std::mt19937_64 seeds(seed);
    const auto start = std::chrono::steady_clock::now();
    struct Section {
        const char* name;
        int cases;
        int timeout;
        std::function<int(std::uint64_t)> body;
    };
    const std::vector<Section> sections = {
        {"preferences files", 600 * scale, 60, preferencesCase},
        {"snapshots files", 400 * scale, 60, snapshotsCase},
        {"trash names", 100 * scale, 60, trashNamesCase},
        {"trash contents", 20 * scale, 120, trashContentsCase},
        {"trash info files", 100 * scale, 60, trashInfoCase},
        {"mounts and swaps", 5 * scale, 120, mountsAndRaceCase},
        {"app launchers", 3 * scale, 10, launchersCase},
        {"developer links", 40 * scale, 30, linkedPlacesCase},
        {"settings, limits", 100 * scale, 30, settingsAndLimitsCase},
        {"safety spellings", 4 * scale, 300,
         [](std::uint64_t s) { return safetyWalkCase(s, 5000); }},
        {"replaced volumes", 20 * scale, 60, replacedVolumeCase},
        {"developer swaps", 20 * scale, 60, developerSwapCase},
        {"undo strangers", 40 * scale, 30, undoStrangerCase},
        {"undo truths", 120 * scale, 30, undoTruthsCase},
        {"edited copies", 20 * scale, 60, editedCopyCase},
        {"uninstaller links", 30 * scale, 10, uninstallerLinksCase},
        {"busy folders", 40 * scale, 60, busyFoldersCase},
        {"swapped folders", 40 * scale, 60, swappedFoldersCase},
        {"time set back", 30 * scale, 60, timeSetBackCase},
#ifdef FERNWICK_HOSTILE_UI
        {"duplicate cleans", 20 * scale, 60, overlappingDuplicateCleansCase},
        {"second starts", 10 * scale, 120, secondStartsCase},
        {"start sessions", 12 * scale, 240,
         [scale](std::uint64_t s) { return startSessionsCase(s, 12L * scale); }},
#endif
    };
    // FERNWICK_HOSTILE_ONLY=<words> runs only the sections whose name holds them.
    const char* only = std::getenv("FERNWICK_HOSTILE_ONLY");
    Tally total;
    std::printf("%-18s %8s %8s %6s %10s %10s %12s %15s\n", "inputs", "tried", "crashes", "hangs",
                "data lost", "approved", "wrong moved", "false refusals");
    for (const auto& section : sections) {
        if (only != nullptr && std::string(section.name).find(only) == std::string::npos) {
            continue;
        }
        Tally tally;
        for (int i = 0; i < section.cases; ++i) {
            const std::uint64_t caseSeed = seeds();
            runCase(tally, section.timeout, [&] { return section.body(caseSeed); });
        }
        std::printf("%-18s %8ld %8ld %6ld %10ld %10ld %12ld %15ld\n", section.name, tally.tried,
                    tally.crashes, tally.hangs, tally.lost, tally.approved, tally.wrong,
                    tally.falseRefusals);
        total.tried += tally.tried;
        total.crashes += tally.crashes;
        total.hangs += tally.hangs;
        total.lost += tally.lost;
        total.approved += tally.approved;
        total.wrong += tally.wrong;
        total.falseRefusals += tally.falseRefusals;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%-18s %8ld %8ld %6ld %10ld %10ld %12ld %15ld   (%.0f s, seed %llu, %s)\n", "total",
                total.tried, total.crashes, total.hangs, total.lost, total.approved, total.wrong,
                total.falseRefusals, seconds, static_cast<unsigned long long>(seed),
                ::geteuid() == 0 ? "root" : "user");
    return total.crashes == 0 && total.hangs == 0 && total.lost == 0 && total.approved == 0 &&
                   total.wrong == 0 && total.falseRefusals == 0
               ? 0
               : 1;
}
