// Writing initialisation files: keys set, replaced and removed, sections added and removed, the rest of the
// file kept, and what is written read back.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/kernel/profile.h"
#include "platform/kernel/profile_write.h"

namespace {

std::string Read(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(ProfileWrite, KeysAndSectionsAreSetReplacedAndRemoved) {
    std::string tmpl = (std::filesystem::temp_directory_path() / "qsm-ini-XXXXXX").string();
    std::string dir = mkdtemp(tmpl.data());
    std::string ini = dir + "/viewer.ini";
    std::ofstream(ini) << "; settings\n[Fonts]\nSerif = a.ttf\n\n[Toolbars]\nTools=1\n";

    EXPECT_TRUE(WritePrivateProfileStringA("fonts", "SERIF", "b.ttf", ini.c_str()));
    EXPECT_TRUE(WritePrivateProfileStringA("Fonts", "Sans", "c.ttf", ini.c_str()));
    EXPECT_TRUE(WritePrivateProfileStringA("Blobs", "z", "0aff", ini.c_str()));
    EXPECT_EQ(Read(ini),
              "; settings\n[Fonts]\nSerif=b.ttf\nSans=c.ttf\n\n[Toolbars]\nTools=1\n[Blobs]\nz=0aff\n");
    char buf[16];
    GetPrivateProfileStringA("blobs", "Z", "", buf, sizeof buf, ini.c_str());
    EXPECT_STREQ(buf, "0aff");

    EXPECT_TRUE(WritePrivateProfileStringA("Fonts", "Serif", nullptr, ini.c_str()));
    EXPECT_TRUE(WritePrivateProfileStringA("Toolbars", nullptr, nullptr, ini.c_str()));
    EXPECT_TRUE(WritePrivateProfileStringA("Nothing", "x", nullptr, ini.c_str()));
    EXPECT_TRUE(WritePrivateProfileStringA(nullptr, nullptr, nullptr, ini.c_str()));  // flush: nothing to do
    EXPECT_EQ(Read(ini), "; settings\n[Fonts]\nSans=c.ttf\n\n[Blobs]\nz=0aff\n");

    // A new file; a folder that is not there cannot take one.
    EXPECT_TRUE(WritePrivateProfileStringA("A", "k", "", (dir + "/new.ini").c_str()));
    EXPECT_EQ(Read(dir + "/new.ini"), "[A]\nk=\n");
    EXPECT_FALSE(WritePrivateProfileStringA("A", "k", "v", (dir + "/no/such.ini").c_str()));

    // Lines keep their endings; a byte-order mark stays in front of the first line.
    std::ofstream(dir + "/dos.ini") << "\xEF\xBB\xBF[A]\r\nk=1\r\n";
    EXPECT_TRUE(WritePrivateProfileStringA("a", "K", "2", (dir + "/dos.ini").c_str()));
    EXPECT_EQ(Read(dir + "/dos.ini"), "\xEF\xBB\xBF[A]\r\nk=2\r\n");
    std::filesystem::remove_all(dir);
}

}  // namespace
