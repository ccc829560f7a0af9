#include "FernwickCore/Engines/AppUninstallerEngine.h"

#include "FernwickCore/Engines/SafetyEngine.h"
#include "FernwickCore/Platform/DesktopEntry.h"
#include "FernwickCore/Platform/DomainError.h"
#include "FernwickCore/Platform/PathUtils.h"
#include "FernwickCore/Platform/PreferencesStore.h"
#include "FernwickCore/Platform/Trash.h"
#include "tests/Support/BinaryPropertyList.h"
#include "tests/Support/TempTree.h"

#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>

namespace fernwick {
namespace {

using test::TempTree;
namespace fs = std::filesystem;

std::int64_t allocatedBytes(const fs::path& file) {
    struct stat info {};
    ::lstat(file.c_str(), &info);
    return static_cast<std::int64_t>(info.st_blocks) * 512;
}

class AppUninstallerEngineTest : public ::testing::Test {
protected:
    AppUninstallerEngineTest()
        : m_env(Environment::forHome(m_tree.folder("home"))),
          m_safety(std::make_shared<SafetyEngine>(
              m_env, std::make_shared<PreferencesStore>(m_env.preferencesFile()))),
          m_trash(std::make_shared<Trash>(m_env)),
          m_engine(m_env, m_safety, m_trash, RunningPrograms(m_tree.folder("proc")),
                   m_tree.folder("system/Applications")) {}

    // A bundle with an executable and the given Info.plist bytes (none when empty).
    fs::path bundle(std::string_view relative, const std::string& infoPlist = {}) {
        const fs::path path = m_tree.folder(relative);
        m_tree.denseFile(std::string(relative) + "/Contents/MacOS/main", 10'000);
        if (!infoPlist.empty()) {
            m_tree.file(std::string(relative) + "/Contents/Info.plist", infoPlist);
        }
        return path;
    }

    fs::path home(std::string_view relative) const { return m_env.home / std::string(relative); }

    InstalledApp only(const std::string& name) {
        for (auto& app : m_engine.scanInstalledApplications()) {
            if (app.name == name) {
                return app;
            }
        }
        ADD_FAILURE() << name << " not listed";
        return {};
    }

    // The error the uninstall throws; fails the test when it throws none.
    std::optional<DomainError> uninstallError(const InstalledApp& app) {
        try {
            m_engine.uninstallApp(app, true);
        } catch (const DomainError& error) {
            return error;
        }
        ADD_FAILURE() << "no error";
        return std::nullopt;
    }

    // The uninstall fails with the "Fernwick" error `code` and `message`, and nothing is moved:
    // the bundle and its cache stay and the Trash is empty.
    void expectRefusedWithNothingMoved(const InstalledApp& app, int code,
                                       const std::string& message) {
        const auto error = uninstallError(app);
        ASSERT_TRUE(error);
        EXPECT_EQ(error->domain(), "Fernwick");
        EXPECT_EQ(error->code(), code);
        EXPECT_EQ(error->localizedDescription(), message);
        EXPECT_EQ(std::string(error->what()), message);
        EXPECT_TRUE(fs::exists(app.bundleURL));
        EXPECT_TRUE(fs::exists(home("Library/Caches/com.example.foo")));
        EXPECT_EQ(m_trash->itemCount(), 0);
    }

    TempTree m_tree;
    Environment m_env;
    std::shared_ptr<SafetyEngine> m_safety;
    std::shared_ptr<Trash> m_trash;
    AppUninstallerEngine m_engine;
};

TEST_F(AppUninstallerEngineTest, ListsBundlesOfBothFoldersWithXmlAndBinaryInfo) {
    const auto foo = bundle("home/Applications/Foo.app",
                            test::xmlPropertyList({{"CFBundleIdentifier", "com.example.foo"},
                                                   {"CFBundleShortVersionString", "1.2"}}));
    m_tree.denseFile("home/Applications/Foo.app/Contents/.hidden-resource", 8192);
    bundle("system/Applications/Bar.APP",
           test::binaryPropertyList(
               {{"CFBundleIdentifier", "com.example.bar"}, {"CFBundleShortVersionString", "3.0"}}));
    bundle("system/Applications/Utilities/Nested.app", test::xmlPropertyList({}));
    bundle("system/Applications/.Hidden.app", test::xmlPropertyList({}));
    bundle("home/Applications/Garbled.app", "<plist><dict><key>x");
    m_tree.file("home/Applications/Plain.app", "not a folder");
    m_tree.file("home/Applications/notes.txt", "x");

    const auto apps = m_engine.scanInstalledApplications();
    ASSERT_EQ(apps.size(), 4u);
    // Foo has the extra hidden resource; Bar and Garbled tie and keep folder order.
    EXPECT_EQ(apps[0].name, "Foo");
    EXPECT_EQ(apps[1].name, "Bar");
    EXPECT_EQ(apps[2].name, "Garbled");
    EXPECT_EQ(apps[3].name, "Plain");

    EXPECT_EQ(apps[0].bundleURL, foo);
    EXPECT_EQ(apps[0].bundleIdentifier, "com.example.foo");
    EXPECT_EQ(apps[0].version, "1.2");
    EXPECT_EQ(apps[0].appSize, allocatedBytes(foo / "Contents/MacOS/main") +
                                   allocatedBytes(foo / "Contents/Info.plist") +
                                   allocatedBytes(foo / "Contents/.hidden-resource"));
    EXPECT_FALSE(apps[0].isRunning);
    EXPECT_FALSE(apps[0].isSelected);
    EXPECT_EQ(apps[1].bundleIdentifier, "com.example.bar");
    EXPECT_EQ(apps[1].version, "3.0");
    EXPECT_FALSE(apps[2].bundleIdentifier);
    EXPECT_FALSE(apps[3].bundleIdentifier);
    EXPECT_FALSE(apps[3].version);
    EXPECT_EQ(apps[3].appSize, 12) << "a file counts its length";
    EXPECT_NE(apps[0].id, m_engine.scanInstalledApplications()[0].id) << "fresh ids per scan";
}

TEST_F(AppUninstallerEngineTest, LeftoversInSearchOrderWithKindsAndConfidences) {
    bundle("home/Applications/Foo.app",
           test::xmlPropertyList({{"CFBundleIdentifier", "com.example.foo"}}));
    m_tree.denseFile("home/Library/Caches/com.example.foo/blob", 5000);
    m_tree.folder("home/Library/Application Support/com.example.foo");
    m_tree.denseFile("home/Library/Application Support/Foo/data", 9000);
    m_tree.folder("home/Library/Containers/com.example.foo");
    m_tree.folder("home/Library/Saved Application State/com.example.foo.savedState");
    m_tree.file("home/Library/Preferences/com.example.foo.plist", "12345");
    m_tree.folder("home/Library/Logs/com.example.foo");
    m_tree.folder("home/Library/Logs/com.example.foo.old"); // not a leftover of Foo

    const InstalledApp app = only("Foo");
    using Kind = AppArtifactKind;
    using Confidence = AssociationConfidence;
    struct Expected {
        std::string name;
        std::string relative;
        Kind kind;
        Confidence confidence;
        bool selected;
    };
    const std::vector<Expected> expected{
        {"Cache (com.example.foo)", "Library/Caches/com.example.foo", Kind::caches,
         Confidence::stronglyAssociated, true},
        {"App Support (com.example.foo)", "Library/Application Support/com.example.foo",
         Kind::applicationSupport, Confidence::stronglyAssociated, true},
        {"App Support (Foo)", "Library/Application Support/Foo", Kind::applicationSupport,
         Confidence::probablyAssociated, false},
        {"Sandbox Container", "Library/Containers/com.example.foo", Kind::containers,
         Confidence::stronglyAssociated, true},
        {"Saved Application State", "Library/Saved Application State/com.example.foo.savedState",
         Kind::savedState, Confidence::stronglyAssociated, true},
        {"Preferences Plist", "Library/Preferences/com.example.foo.plist", Kind::preferences,
         Confidence::stronglyAssociated, true},
        {"App Diagnostic Logs", "Library/Logs/com.example.foo", Kind::logs,
         Confidence::stronglyAssociated, true},
    };
    ASSERT_EQ(app.relatedItems.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const AppAssociatedItem& item = app.relatedItems[i];
        EXPECT_EQ(item.name, expected[i].name);
        EXPECT_EQ(item.url, home(expected[i].relative));
        EXPECT_EQ(item.kind, expected[i].kind) << item.name;
        EXPECT_EQ(item.confidence, expected[i].confidence) << item.name;
        EXPECT_EQ(item.isSelected, expected[i].selected) << item.name;
    }
    EXPECT_EQ(app.relatedItems[0].size,
              allocatedBytes(home("Library/Caches/com.example.foo/blob")));
    EXPECT_EQ(app.relatedItems[5].size, 5) << "a file's length";
    std::int64_t total = app.appSize;
    for (const auto& item : app.relatedItems) {
        total += item.size;
    }
    EXPECT_EQ(app.totalSize(), total) << "unselected leftovers count too";
    EXPECT_EQ(displayName(app.relatedItems[2].confidence), "Probably Associated");
    EXPECT_EQ(displayName(AssociationConfidence::unknown), "Unknown / Shared");
    EXPECT_EQ(displayName(app.relatedItems[4].kind), "Saved State");
    EXPECT_EQ(displayName(allAppArtifactKinds().back()), "Launch Agents");
}

TEST_F(AppUninstallerEngineTest, IdentifierEqualToNameIsListedTwice) {
    bundle("home/Applications/Same.app", test::xmlPropertyList({{"CFBundleIdentifier", "Same"}}));
    m_tree.folder("home/Library/Application Support/Same");
    const InstalledApp app = only("Same");
    ASSERT_EQ(app.relatedItems.size(), 2u);
    EXPECT_EQ(app.relatedItems[0].name, "App Support (Same)");
    EXPECT_TRUE(app.relatedItems[0].isSelected);
    EXPECT_EQ(app.relatedItems[1].confidence, AssociationConfidence::probablyAssociated);
    EXPECT_FALSE(app.relatedItems[1].isSelected);
    EXPECT_EQ(app.relatedItems[0].url, app.relatedItems[1].url);
}

TEST_F(AppUninstallerEngineTest, HostileIdentifiersNameNoLeftover) {
    // Everything a hostile identifier could reach exists, so that a fault would show.
    for (const char* folder : {"Caches", "Application Support", "Containers", "Logs", "Preferences",
                               "Saved Application State"}) {
        m_tree.folder("home/Library/" + std::string(folder) + "/x");
    }
    m_tree.file("home/Library/Preferences/..plist");
    m_tree.folder("home/Library/Saved Application State/..savedState");
    m_tree.folder("home/Library/Application Support/Evil");
    m_tree.folder("home/etc");

    const std::vector<std::string> hostile{
        "", ".", "..", "../../etc", "x/..", "a/b", std::string("x\0y", 3)};
    for (std::size_t i = 0; i < hostile.size(); ++i) {
        test::BinaryPropertyListWriter writer;
        const auto key = writer.asciiString("CFBundleIdentifier");
        const auto value = writer.asciiString(hostile[i]);
        const std::string name = "Evil" + std::to_string(i);
        bundle("home/Applications/" + name + ".app",
               writer.finish(writer.dictionary({{key, value}})));
        const InstalledApp app = only(name);
        ASSERT_EQ(app.bundleIdentifier, hostile[i]) << "the identifier itself is kept";
        EXPECT_TRUE(app.relatedItems.empty()) << i << ": " << app.relatedItems.front().url;
    }
    m_tree.folder("home/Library/Application Support/Evil0");
    const InstalledApp withName = only("Evil0");
    ASSERT_EQ(withName.relatedItems.size(), 1u) << "the name-based row is still looked up";
    EXPECT_EQ(withName.relatedItems[0].url, home("Library/Application Support/Evil0"));
}

TEST_F(AppUninstallerEngineTest, RunningApplicationIsRefusedWithNothingMoved) {
    const auto foo = bundle("home/Applications/Foo.app",
                            test::xmlPropertyList({{"CFBundleIdentifier", "com.example.foo"}}));
    const auto anonymous = bundle("home/Applications/Anonymous.app", test::xmlPropertyList({}));
    m_tree.folder("home/Library/Caches/com.example.foo");
    m_tree.symlink("proc/4242/exe", foo / "Contents/MacOS/main");
    m_tree.symlink("proc/4243/exe", anonymous / "Contents/MacOS/main");

    EXPECT_FALSE(only("Anonymous").isRunning) << "no identifier: not looked up";
    const InstalledApp app = only("Foo");
    ASSERT_TRUE(app.isRunning);
    fs::remove(m_tree / "proc/4242/exe"); // quit since the listing: still refused
    expectRefusedWithNothingMoved(
        app, 409, "Foo is currently running. Please quit the application before uninstalling.");
}

TEST_F(AppUninstallerEngineTest, RefusedBundleThrows403WithNothingMoved) {
    const auto foo = bundle("home/Applications/Foo.app",
                            test::xmlPropertyList({{"CFBundleIdentifier", "com.example.foo"}}));
    m_tree.folder("home/Library/Caches/com.example.foo");
    m_safety->addProtectedPath(foo.string());
    expectRefusedWithNothingMoved(
        only("Foo"), 403,
        "Application cannot be removed: Path is in your custom Protected Items list");
}

TEST_F(AppUninstallerEngineTest, UninstallMovesBundleAndSelectedLeftoversToTrash) {
    const auto foo = bundle("home/Applications/Foo.app",
                            test::xmlPropertyList({{"CFBundleIdentifier", "com.example.foo"}}));
    m_tree.folder("home/Library/Caches/com.example.foo");
    m_tree.folder("home/Library/Application Support/Foo");
    m_tree.folder("home/Library/Containers/com.example.foo");
    m_tree.folder("home/Library/Logs/com.example.foo");
    m_safety->addProtectedPath(home("Library/Containers/com.example.foo").string());

    InstalledApp app = only("Foo");
    ASSERT_EQ(app.relatedItems.size(), 4u);
    app.relatedItems[3].isSelected = false; // the logs
    m_engine.uninstallApp(app, true);

    EXPECT_FALSE(fs::exists(foo));
    EXPECT_FALSE(fs::exists(home("Library/Caches/com.example.foo")));
    EXPECT_TRUE(fs::exists(home("Library/Application Support/Foo"))) << "never selected";
    EXPECT_TRUE(fs::exists(home("Library/Containers/com.example.foo"))) << "refused, skipped";
    EXPECT_TRUE(fs::exists(home("Library/Logs/com.example.foo"))) << "deselected";
    EXPECT_EQ(m_trash->itemCount(), 2);
    EXPECT_TRUE(fs::exists(m_env.dataHome / "Trash/files/Foo.app/Contents/MacOS/main"));

    // Without leftovers only the bundle moves.
    const auto bar = bundle("home/Applications/Bar.app",
                            test::xmlPropertyList({{"CFBundleIdentifier", "com.example.bar"}}));
    m_tree.folder("home/Library/Caches/com.example.bar");
    m_engine.uninstallApp(only("Bar"), false);
    EXPECT_FALSE(fs::exists(bar));
    EXPECT_TRUE(fs::exists(home("Library/Caches/com.example.bar")));
    EXPECT_EQ(m_trash->itemCount(), 3);
}

TEST_F(AppUninstallerEngineTest, FailedBundleMoveThrowsAndTouchesNoLeftover) {
    const auto foo = bundle("home/Applications/Foo.app",
                            test::xmlPropertyList({{"CFBundleIdentifier", "com.example.foo"}}));
    m_tree.folder("home/Library/Caches/com.example.foo");
    m_tree.file("home/.local/share/Trash", "a file where the Trash folder should be");
    const InstalledApp app = only("Foo");
    const auto error = uninstallError(app);
    ASSERT_TRUE(error);
    EXPECT_NE(error->domain(), "Fernwick");
    EXPECT_FALSE(error->localizedDescription().empty());
    EXPECT_TRUE(fs::exists(foo));
    EXPECT_TRUE(fs::exists(home("Library/Caches/com.example.foo")));
}

// AppImages: name and version from the common file-name shape, the suffix in any case; only
// regular files count, and no identifier is read.
TEST_F(AppUninstallerEngineTest, AppImageNamesAndVersions) {
    const std::pair<const char*, std::pair<const char*, const char*>> cases[] = {
        {"Tool-1.2-aarch64.AppImage", {"Tool", "1.2"}},
        {"Kit-3.0-beta-armhf.AppImage", {"Kit", "3.0-beta"}},
        {"Foo-2-i386.APPIMAGE", {"Foo", "2"}},
        {"my-app-x86_64.appimage", {"my-app-x86_64", nullptr}},
        {"Plain.AppImage", {"Plain", nullptr}},
        {"-1.0.AppImage", {"-1.0", nullptr}},
        {"Odd-7-.AppImage", {"Odd", "7-"}},
        {"Bare-9-amd64.AppImage", {"Bare", "9"}},
    };
    for (const auto& [file, expected] : cases) {
        m_tree.file(std::string("home/Applications/") + file, "x", 5000);
    }
    m_tree.folder("home/Applications/Folder-1.0.AppImage");
    m_tree.symlink("home/Applications/Link-1.0.AppImage", home("Applications/Plain.AppImage"));
    m_tree.file("home/Applications/.Hidden-1.0.AppImage", "x");
    const auto apps = m_engine.scanInstalledApplications();
    ASSERT_EQ(apps.size(), std::size(cases));
    for (const auto& [file, expected] : cases) {
        const InstalledApp app = only(expected.first);
        EXPECT_EQ(app.bundleURL, home(std::string("Applications/") + file));
        EXPECT_EQ(app.version,
                  expected.second ? std::optional<std::string>(expected.second) : std::nullopt)
            << file;
        EXPECT_EQ(app.appSize, 5000) << file;
        EXPECT_FALSE(app.bundleIdentifier.has_value()) << file;
    }
}

// The launcher row reads the program of the main group's Exec= line: quoted, escaped, or with
// arguments; a wrapper, another file, a key outside the main group or an action's Exec is no
// launcher of this AppImage.
TEST_F(AppUninstallerEngineTest, DesktopLaunchersNameTheAppImageExactly) {
    m_tree.file("home/Applications/My Tool-1.0.AppImage", "x");
    const std::string path = home("Applications/My Tool-1.0.AppImage").string();
    std::string escaped;
    for (const char c : path) {
        escaped += c == ' ' ? std::string("\\s") : std::string(1, c);
    }
    const std::string main = "[Desktop Entry]\n";
    const std::pair<const char*, std::string> launchers[] = {
        {"a.desktop", main + "Exec=\"" + path + "\" %U\n"},
        {"b.desktop",
         main + "Name=x\nExec=/usr/bin/other\n[Desktop Action new]\nExec=\"" + path + "\"\n"},
        {"c.desktop", main + "Exec=env A=1 \"" + path + "\"\n"},
        {"d.desktop", main + "Exec=\"" + path + ".old\"\n"},
        {"e.txt", main + "Exec=\"" + path + "\"\n"},
        {"f.desktop", "# comment\r\n" + main + "Name=x\r\nExec=\"" + escaped + "\"\r\n"},
        {"g.desktop", "Exec=\"" + path + "\"\n" + main + "Name=x\n"},
        {"h.desktop",
         "[Desktop Action new]\nExec=\"" + path + "\"\n" + main + "Exec=\"" + path + "\"\n"},
    };
    for (const auto& [name, contents] : launchers) {
        m_tree.file(std::string("home/.local/share/applications/") + name, contents);
    }
    std::vector<std::string> found;
    for (const auto& item : only("My Tool").relatedItems) {
        EXPECT_EQ(item.name, "Desktop Launcher");
        found.push_back(paths::lastComponent(item.url));
        // The identity recorded is the launcher's own.
        struct stat info {};
        ASSERT_EQ(::lstat(item.url.c_str(), &info), 0);
        EXPECT_EQ(item.inode, info.st_ino);
        EXPECT_EQ(item.deviceID, info.st_dev);
    }
    EXPECT_EQ(found, (std::vector<std::string>{"a.desktop", "f.desktop", "h.desktop"}));

    EXPECT_EQ(desktopExecProgram(R"("/a/b\\"c\\\\d" --x)"), "/a/b\"c\\d");
    EXPECT_EQ(desktopExecProgram("  /usr/bin/tool %F"), "/usr/bin/tool");
    EXPECT_EQ(desktopExecProgram("   "), "");
}

// Launchers are read only when they are regular files of at most 64 KiB: a longer one, a FIFO
// and a link are passed over (never opened, so the FIFO cannot hang the listing), and a 2 GB
// sparse one is not read.
TEST_F(AppUninstallerEngineTest, OnlySmallRegularLaunchersAreRead) {
    m_tree.file("home/Applications/Tool.AppImage", "x");
    const std::string entry =
        "[Desktop Entry]\nExec=" + home("Applications/Tool.AppImage").string() + "\n";
    const std::string folder = "home/.local/share/applications/";
    m_tree.file(folder + "at-limit.desktop", entry, kMaxDesktopEntryBytes);
    m_tree.file(folder + "over-limit.desktop", entry, kMaxDesktopEntryBytes + 1);
    m_tree.file(folder + "sparse.desktop", entry, std::int64_t{2} << 30);
    m_tree.symlink(folder + "link.desktop", m_tree / (folder + "at-limit.desktop"));
    ASSERT_EQ(::mkfifo((m_tree / (folder + "fifo.desktop")).c_str(), 0600), 0);

    std::vector<std::string> found;
    for (const auto& item : only("Tool").relatedItems) {
        found.push_back(paths::lastComponent(item.url));
    }
    EXPECT_EQ(found, (std::vector<std::string>{"at-limit.desktop"}));
}

// A launcher or AppImage replaced after the listing is not what the user chose: the uninstall
// refuses it (the AppImage with the check's reason), and the new file stays where it is.
TEST_F(AppUninstallerEngineTest, ItemsReplacedSinceTheListingAreRefused) {
    m_tree.file("home/Applications/Tool.AppImage", "x");
    const std::string entry =
        "[Desktop Entry]\nExec=" + home("Applications/Tool.AppImage").string() + "\n";
    const fs::path launcher = m_tree.file("home/.local/share/applications/tool.desktop", entry);
    InstalledApp app = only("Tool");
    ASSERT_EQ(app.relatedItems.size(), 1u);
    ASSERT_NE(app.bundleInode, 0u);

    // Another program's launcher now stands at the launcher's path.
    const fs::path other = m_tree.file("other.desktop", "[Desktop Entry]\nExec=/usr/bin/other\n");
    fs::rename(other, launcher);
    EXPECT_EQ(m_safety->validateTargetForDeletion(launcher, app.relatedItems[0].identity()).reason,
              Trash::kIdentityMismatchReason);
    m_engine.uninstallApp(app, true);
    EXPECT_FALSE(fs::exists(home("Applications/Tool.AppImage")));
    EXPECT_TRUE(fs::exists(launcher)) << "replaced since the listing: stays";
    EXPECT_EQ(m_trash->itemCount(), 1);

    // The AppImage itself replaced: nothing moves.
    m_tree.file("home/Applications/Tool.AppImage", "x");
    app = only("Tool");
    const fs::path newer = m_tree.file("newer.AppImage", "y");
    fs::rename(newer, app.bundleURL);
    const auto error = uninstallError(app);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), 403);
    EXPECT_EQ(error->localizedDescription(),
              std::string("Application cannot be removed: ") + Trash::kIdentityMismatchReason);
    EXPECT_TRUE(fs::exists(app.bundleURL));
    EXPECT_TRUE(fs::exists(launcher));
    EXPECT_EQ(m_trash->itemCount(), 1);
}

// Sizes are measured the way the scanner walks: a symbolic link counts as the link itself, so a
// leftover or bundle that links to a big folder (or to "/") is not measured through the link,
// and two links to one folder are two leftovers.
TEST_F(AppUninstallerEngineTest, LinksAreMeasuredAsTheLinkItself) {
    m_tree.denseFile("elsewhere/big.bin", 200'000);
    m_tree.file("home/Applications/Tool.AppImage", "x", 5000);
    const fs::path target = m_tree / "elsewhere";
    const fs::path config = m_tree.symlink("home/.config/Tool", target);
    const fs::path data = m_tree.symlink("home/.local/share/Tool", target); // a second link
    const fs::path cache = m_tree.symlink("home/.cache/tool", target / "big.bin");
    const fs::path bundleCache = m_tree.symlink("home/Library/Caches/com.example.foo", target);
    bundle("home/Applications/Foo.app",
           test::xmlPropertyList({{"CFBundleIdentifier", "com.example.foo"}}));
    const fs::path linkedBundle = m_tree.symlink("home/Applications/Linked.app", target);
    const auto linkSize = [](const fs::path& link) {
        return static_cast<std::int64_t>(fs::read_symlink(link).native().size());
    };

    std::map<fs::path, std::int64_t> sizes;
    for (const auto& name : {"Tool", "Foo"}) {
        for (const auto& item : only(name).relatedItems) {
            sizes[item.url] = item.size;
        }
    }
    EXPECT_EQ(sizes, (std::map<fs::path, std::int64_t>{{config, linkSize(config)},
                                                       {data, linkSize(data)},
                                                       {cache, linkSize(cache)},
                                                       {bundleCache, linkSize(bundleCache)}}));
    EXPECT_EQ(only("Tool").appSize, 5000);
    EXPECT_EQ(only("Linked").appSize, linkSize(linkedBundle));
}

} // namespace
} // namespace fernwick
