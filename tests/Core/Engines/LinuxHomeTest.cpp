// The engines on a realistic Linux home (tools/linux-home-fixture), through the real scanner.

#include "tests/Support/LinuxHome.h"
#include "FernwickCore/Engines/AppUninstallerEngine.h"
#include "FernwickCore/Engines/CleanupEngine.h"
#include "FernwickCore/Engines/DeveloperStorageEngine.h"
#include "FernwickCore/Engines/SafetyEngine.h"
#include "FernwickCore/Platform/Clock.h"
#include "FernwickCore/Platform/PreferencesStore.h"
#include "FernwickCore/Platform/Trash.h"
#include "FernwickCore/Scanning/AsyncDiskScanner.h"

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <map>
#include <spawn.h>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>

extern char** environ;

namespace fernwick {
namespace {

namespace fs = std::filesystem;
using test::LinuxHome;
constexpr std::int64_t kMiB = 1024 * 1024;

// One fixture home for the whole suite; the process environment points at it before anything
// builds the shared classifier, so the scanner classifies with this home's XDG folders.
class LinuxHomeTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_home = new LinuxHome();
        s_scoped = new test::ScopedHome(s_home->home());
    }
    static void TearDownTestSuite() {
        delete s_scoped;
        delete s_home;
    }

    static const LinuxHome& fixture() { return *s_home; }

    static DiskNodePtr scan(const fs::path& root) { return AsyncDiskScanner().scan(root, 10, {}); }

    // The node at `relative` below `root` (a path of names joined by "/").
    static DiskNodePtr find(const DiskNodePtr& root, const std::string& relative) {
        DiskNodePtr node = root;
        std::size_t start = 0;
        while (node && start <= relative.size()) {
            const std::size_t slash = std::min(relative.find('/', start), relative.size());
            const std::string name = relative.substr(start, slash - start);
            DiskNodePtr next;
            for (const auto& child : node->children) {
                if (child->name() == name) {
                    next = child;
                }
            }
            node = next;
            start = slash + 1;
        }
        EXPECT_TRUE(node) << relative;
        return node;
    }

    static std::shared_ptr<SafetyEngine> safety(const Environment& env) {
        return std::make_shared<SafetyEngine>(
            env, std::make_shared<PreferencesStore>(env.preferencesFile()));
    }

    static inline LinuxHome* s_home = nullptr;
    static inline test::ScopedHome* s_scoped = nullptr;
};

struct Expected {
    const char* relative;
    StorageCategory category;
    RiskLevel risk;
    double confidence;
};

void expectClassified(const DiskNodePtr& root, const std::vector<Expected>& cases,
                      DiskNodePtr (*find)(const DiskNodePtr&, const std::string&)) {
    for (const auto& c : cases) {
        const DiskNodePtr node = find(root, c.relative);
        ASSERT_TRUE(node) << c.relative;
        EXPECT_EQ(node->category, c.category) << c.relative;
        EXPECT_EQ(node->riskLevel, c.risk) << c.relative;
        EXPECT_EQ(node->confidence, c.confidence) << c.relative;
    }
}

// Each added recognition through the scanner, with scans rooted inside the dot-folders (hidden
// entries stay unlisted in a scan of the home), and the given rules still first.
TEST_F(LinuxHomeTest, ScannerClassifiesTheLinuxPlaces) {
    using C = StorageCategory;
    using R = RiskLevel;
    const auto& h = fixture();
    expectClassified(scan(h / ".cache"),
                     {{"thumbnails", C::caches, R::low, 0.9},
                      {"mozilla/firefox", C::caches, R::low, 0.9},
                      {"yarn", C::caches, R::low, 0.9},
                      {"yarn/v6", C::packageManagers, R::low, 0.95},
                      {"Homebrew", C::caches, R::low, 0.9},
                      {"Homebrew/downloads", C::packageManagers, R::low, 0.98},
                      {"JetBrains/IntelliJIdea2025.1", C::caches, R::low, 0.9},
                      {"pip", C::developerData, R::low, 0.98},
                      {"huggingface/hub", C::ollamaModels, R::medium, 0.95}},
                     find);
    expectClassified(scan(h / ".local/share"),
                     {{"Trash", C::trash, R::low, 1.0},
                      {"Trash/files/old-holiday.mp4", C::trash, R::low, 1.0},
                      {"Trash/info/draft.trashinfo", C::trash, R::low, 1.0},
                      {"keyrings/login.keyring", C::applicationSupport, R::medium, 0.9},
                      {"applications", C::applicationSupport, R::medium, 0.9}},
                     find);
    expectClassified(scan(h / ".var"),
                     {{"app/org.example.Viewer", C::containers, R::medium, 0.95},
                      {"app/org.example.Viewer/data/library.db", C::containers, R::medium, 0.95}},
                     find);
    expectClassified(scan(h / ".config"),
                     {{"Notesmith/settings.json", C::applicationSupport, R::medium, 0.9}}, find);
    const DiskNodePtr home = scan(h.home());
    expectClassified(home,
                     {{"Downloads/code_1.96.2_amd64.deb", C::installers, R::low, 0.95},
                      {"Downloads/discord-0.0.78.x86_64.rpm", C::installers, R::low, 0.95},
                      {"Downloads/Inkdrop-5.9.0-x86_64.AppImage", C::installers, R::low, 0.95},
                      {"Applications/Notesmith-2.4.1-x86_64.AppImage", C::installers, R::low, 0.95},
                      {"Projects/webapp/node_modules", C::nodeModules, R::low, 1.0}},
                     find);
    for (const auto& child : home->children) {
        EXPECT_NE(child->name()[0], '.') << child->name();
    }
}

// The plan of the home proposes the installers and the project's dependencies; the plan of the
// cache folder proposes each large cache folder but the model weights and the pip cache, which
// the classifier files elsewhere, and Homebrew's folder as an app cache.
TEST_F(LinuxHomeTest, CleanupPlanOfTheHomeAndOfTheCacheFolder) {
    const Environment env = fixture().environment();
    const CleanupEngine engine(safety(env), std::make_shared<Trash>(env), Clock::system());
    const auto summary = [](const CleanupPlan& plan) {
        std::vector<std::tuple<std::string, std::int64_t, bool>> rows;
        for (const auto& c : plan.candidates) {
            rows.emplace_back(c.name, c.size, c.isSelected);
        }
        return rows;
    };
    using Rows = std::vector<std::tuple<std::string, std::int64_t, bool>>;
    const CleanupPlan home = engine.generateSmartCleanupPlan(scan(fixture().home()));
    EXPECT_EQ(summary(home),
              (Rows{{"Downloaded Installer (Inkdrop-5.9.0-x86_64.AppImage)", 130 * kMiB, true},
                    {"Downloaded Installer (code_1.96.2_amd64.deb)", 98 * kMiB, true},
                    {"Downloaded Installer (discord-0.0.78.x86_64.rpm)", 86 * kMiB, true},
                    {"Node.js Dependencies (webapp/node_modules)", 72 * kMiB, false}}));

    const CleanupPlan cache = engine.generateSmartCleanupPlan(scan(fixture() / ".cache"));
    EXPECT_EQ(summary(cache), (Rows{{"App Cache (JetBrains)", 640 * kMiB, false},
                                    {"App Cache (mozilla)", 420 * kMiB, false},
                                    {"App Cache (Homebrew)", 360 * kMiB, false},
                                    {"App Cache (yarn)", 330 * kMiB, false},
                                    {"App Cache (thumbnails)", 310 * kMiB, false}}));
    for (const auto& c : cache.candidates) {
        EXPECT_EQ(c.category, StorageCategory::caches);
        EXPECT_EQ(c.riskLevel, RiskLevel::low);
        EXPECT_EQ(c.purpose, "Cached application assets");
        EXPECT_EQ(c.cleanupReason, "Applications automatically recreate caches as necessary.");
        EXPECT_EQ(c.url.parent_path(), env.cacheHome);
    }
}

// Allocates the first `bytes` of the file at `path` (created when missing): the catalogue
// measures allocated bytes, which the fixture's sparse files do not have.
void allocate(const fs::path& path, std::int64_t bytes) {
    fs::create_directories(path.parent_path());
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0) << path;
    EXPECT_EQ(::posix_fallocate(fd, 0, bytes), 0) << path;
    ::close(fd);
}

// The catalogue's rows find this platform's places, and the given place wins when both exist
// (one item per row). Docker Desktop's disk and socket of this platform are seen too.
TEST_F(LinuxHomeTest, DeveloperCatalogueRows) {
    test::TempTree system; // stands in for "/": no socket, no /Applications
    const LinuxHome h;
    const Environment env = h.environment();
    const std::string cache = env.cacheHome.string();
    allocate(cache + "/pip/http-v2/a/b/wheel-1", 51 * kMiB);
    allocate(cache + "/JetBrains/IntelliJIdea2025.1/index/stubs", 101 * kMiB);
    allocate(cache + "/Homebrew/downloads/abc--python-3.12.bottle.tar.gz", 51 * kMiB);
    allocate(cache + "/huggingface/hub/models--tiny/blobs/weights", 101 * kMiB);
    allocate(cache + "/yarn/v6/npm-react-18.2.0/package.tgz", 101 * kMiB); // no row for yarn
    const DeveloperStorageEngine engine(env, Clock::system(), system.root());
    using Row = std::tuple<std::string, std::string, std::int64_t, bool>;
    const auto rows = [&] {
        std::vector<Row> found;
        for (const auto& item : engine.scanDeveloperStorage()) {
            found.emplace_back(item.name, item.path, item.size, item.isSelected);
        }
        return found;
    };
    EXPECT_EQ(rows(),
              (std::vector<Row>{
                  {"Hugging Face Model Cache", h.home().string() + "/.cache/huggingface/hub",
                   101 * kMiB, false},
                  {"JetBrains IDE System & Index Caches", cache + "/JetBrains", 101 * kMiB, false},
                  {"Python pip Wheel Cache", cache + "/pip", 51 * kMiB, false},
                  {"Homebrew Bottle Cache", cache + "/Homebrew", 51 * kMiB, true}}));

    allocate(h / "Library/Caches/pip/wheel", 60 * kMiB);
    allocate(env.dataHome / "pnpm/store/v3/index", 101 * kMiB);
    allocate(env.cacheHome / "org.swift.swiftpm/repositories/a", 26 * kMiB);
    h.tree().file("home/.docker/desktop/vms/0/data/Docker.raw", {}, 2048 * kMiB);
    const std::vector<Row> items = rows();
    const auto named = [&](const std::string& name) {
        std::vector<Row> matching;
        std::copy_if(items.begin(), items.end(), std::back_inserter(matching),
                     [&](const Row& row) { return std::get<0>(row) == name; });
        EXPECT_EQ(matching.size(), 1u) << name;
        return matching.empty() ? Row{} : matching.front();
    };
    EXPECT_EQ(
        named("Python pip Wheel Cache"),
        Row("Python pip Wheel Cache", h.home().string() + "/Library/Caches/pip", 60 * kMiB, false));
    EXPECT_EQ(std::get<1>(named("pnpm Content-Addressable Store")),
              env.dataHome.string() + "/pnpm/store");
    EXPECT_EQ(std::get<1>(named("Swift Package Manager Cache")), cache + "/org.swift.swiftpm");
    EXPECT_EQ(named("Docker VM Virtual Disk (Stopped)"),
              Row("Docker VM Virtual Disk (Stopped)",
                  h.home().string() + "/.docker/desktop/vms/0/data/Docker.raw", 2048 * kMiB,
                  false));

    h.tree().file("home/.docker/desktop/docker.sock");
    EXPECT_EQ(std::get<0>(rows().front()), "Docker VM Virtual Disk (Running)");
}

std::vector<std::tuple<std::string, std::string, AppArtifactKind, AssociationConfidence, bool>>
leftoverRows(const InstalledApp& app, const fs::path& home) {
    std::vector<std::tuple<std::string, std::string, AppArtifactKind, AssociationConfidence, bool>>
        rows;
    for (const auto& item : app.relatedItems) {
        rows.emplace_back(item.name, fs::relative(item.url, home).string(), item.kind,
                          item.confidence, item.isSelected);
    }
    return rows;
}

// The AppImage is listed with its parsed name and version, its size and its four leftovers;
// uninstalling moves it and only the launcher, the one leftover that proves the association.
TEST_F(LinuxHomeTest, UninstallerListsAndRemovesTheAppImage) {
    test::TempTree other;
    const LinuxHome h;
    const Environment env = h.environment();
    const auto trash = std::make_shared<Trash>(env);
    const AppUninstallerEngine engine(env, safety(env), trash,
                                      RunningPrograms(other.folder("proc")),
                                      other.folder("Applications"));
    const auto apps = engine.scanInstalledApplications();
    ASSERT_EQ(apps.size(), 1u);
    const InstalledApp& app = apps.front();
    const fs::path file = h / "Applications/Notesmith-2.4.1-x86_64.AppImage";
    EXPECT_EQ(app.name, "Notesmith");
    EXPECT_EQ(app.version, "2.4.1");
    EXPECT_FALSE(app.bundleIdentifier.has_value());
    EXPECT_EQ(app.bundleURL, file);
    EXPECT_EQ(app.appSize, 150 * kMiB);
    EXPECT_FALSE(app.isRunning);
    using K = AppArtifactKind;
    constexpr auto probably = AssociationConfidence::probablyAssociated;
    EXPECT_EQ(leftoverRows(app, h.home()),
              (decltype(leftoverRows(app, h.home())){
                  {"App Support (Notesmith)", ".config/Notesmith", K::applicationSupport, probably,
                   false},
                  {"App Support (Notesmith)", ".local/share/Notesmith", K::applicationSupport,
                   probably, false},
                  {"Cache (notesmith)", ".cache/notesmith", K::caches, probably, false},
                  {"Desktop Launcher", ".local/share/applications/appimagekit_notesmith.desktop",
                   K::applicationSupport, AssociationConfidence::stronglyAssociated, true}}));

    engine.uninstallApp(app, true);
    EXPECT_FALSE(fs::exists(file));
    EXPECT_FALSE(fs::exists(h / ".local/share/applications/appimagekit_notesmith.desktop"));
    EXPECT_TRUE(fs::exists(h / ".config/Notesmith/settings.json"));
    EXPECT_TRUE(fs::exists(h / ".local/share/Notesmith"));
    EXPECT_TRUE(fs::exists(h / ".cache/notesmith/index.db"));
    EXPECT_TRUE(fs::exists(env.dataHome / "Trash/files/Notesmith-2.4.1-x86_64.AppImage"));
    EXPECT_TRUE(fs::exists(env.dataHome / "Trash/files/appimagekit_notesmith.desktop"));
}

// A child process started with APPIMAGE naming the file marks it running, read from the real
// /proc; so does a process executing the file itself.
TEST_F(LinuxHomeTest, RunningAppImageThroughProc) {
    const LinuxHome h;
    const Environment env = h.environment();
    test::TempTree other;
    const AppUninstallerEngine engine(env, safety(env), std::make_shared<Trash>(env),
                                      RunningPrograms(), other.folder("Applications"));
    const fs::path file = h / "Applications/Notesmith-2.4.1-x86_64.AppImage";
    const fs::path copy = h / "Applications/Sleeper-1.0.AppImage";
    fs::copy_file("/bin/sleep", copy);
    fs::permissions(copy, fs::perms::owner_all);

    const auto spawn = [](const std::string& program, std::vector<std::string> environment) {
        std::vector<char*> variables;
        for (auto& entry : environment) {
            variables.push_back(entry.data());
        }
        variables.push_back(nullptr);
        std::string name = program;
        std::string seconds = "30";
        char* argv[] = {name.data(), seconds.data(), nullptr};
        pid_t pid = 0;
        EXPECT_EQ(::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, variables.data()),
                  0);
        return pid;
    };
    const pid_t named = spawn("/bin/sleep", {"APPIMAGE=" + file.string(), "LANG=C"});
    const pid_t direct = spawn(copy.string(), {});
    // posix_spawn returns once the child runs the program, so /proc already shows it.
    std::map<std::string, bool> running;
    for (const auto& app : engine.scanInstalledApplications()) {
        running[app.name] = app.isRunning;
    }
    for (const pid_t pid : {named, direct}) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }
    EXPECT_EQ(running, (std::map<std::string, bool>{{"Notesmith", true}, {"Sleeper", true}}));
    for (const auto& app : engine.scanInstalledApplications()) {
        EXPECT_FALSE(app.isRunning) << app.name;
    }
}

// The personal locations of this platform, the localised Documents folder included, are
// refused with the entry as the list writes it; caches beside them are not.
TEST_F(LinuxHomeTest, ProtectedLocationsAreRefused) {
    const LinuxHome h;
    h.tree().file("home/.mozilla/firefox/p/key4.db", "k");
    h.tree().file("home/.password-store/mail.gpg", "k");
    const Environment env = h.environment();
    EXPECT_EQ(env.documentsFolder, h / "Dokumente");
    const auto engine = safety(env);
    const std::pair<const char*, const char*> refused[] = {
        {".ssh/id_ed25519", "/.ssh"},
        {".local/share/keyrings/login.keyring", "/.local/share/keyrings"},
        {".mozilla/firefox/p/key4.db", "/.mozilla"},
        {".password-store", "/.password-store"},
        {"Dokumente/Berichte/file-1.pdf", "/Dokumente"},
        {"Dokumente", "/Dokumente"},
    };
    for (const auto& [relative, entry] : refused) {
        const auto result = engine->validateTargetForDeletion(h / relative);
        EXPECT_FALSE(result.isSafe) << relative;
        EXPECT_EQ(result.reason, std::string("Protected sensitive user location: ") + entry)
            << relative;
        EXPECT_TRUE(engine->isProtected(h / relative)) << relative;
    }
    h.tree().folder("home/Dokumente2");
    for (const char* relative : {".cache/yarn", "Downloads/code_1.96.2_amd64.deb", "Dokumente2"}) {
        EXPECT_TRUE(engine->validateTargetForDeletion(h / relative).isSafe) << relative;
    }

    // Desktop set to the home itself disables that folder: nothing more is protected.
    h.tree().file("home/.config/user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/\"\n");
    const auto plain = safety(h.environment());
    EXPECT_EQ(plain->registry().userProtectedSuffixes,
              ProtectedPathRegistry().userProtectedSuffixes);
    EXPECT_TRUE(plain->validateTargetForDeletion(h / "Projects/webapp/src").isSafe);
}

} // namespace
} // namespace fernwick
