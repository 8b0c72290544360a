// The certificate stores as readers reach them: the machine's store stays readable to a user
// who may not change it.
#include <sys/stat.h>

#include "shared/certificate_store.h"
#include "shared/registry_layout.h"
#include "shared_test_support.h"

namespace vlt {
namespace {

using test::putBinary;

class CertificateStoreTest : public test::RegistrySandboxTest {
protected:
    void SetUp() override {
        ASSERT_EQ(putBinary(HKEY_CURRENT_USER, layout::kCertificateKey, "Mine", {1, 2, 3, 4}), ERROR_SUCCESS);
        ASSERT_EQ(putBinary(HKEY_LOCAL_MACHINE, layout::kMachineCertificateKey, "Jane Doe", {5, 6, 7, 8}),
                  ERROR_SUCCESS);
        ASSERT_EQ(putBinary(HKEY_LOCAL_MACHINE, layout::kMachineCertificateKey, "Tomas Reyes", {9}), ERROR_SUCCESS);
    }

    // How the administrator's store looks to an ordinary user.
    void makeMachineHiveReadOnly() {
        registry::resetHives();
        ASSERT_EQ(chmod(sandbox.machine().c_str(), 0555), 0);
    }
};

TEST_F(CertificateStoreTest, BothStoresReadWithOrWithoutTheRightToChangeTheSystemStore) {
    for (bool readOnly : {false, true}) {
        if (readOnly) makeMachineHiveReadOnly();
        SCOPED_TRACE(readOnly);
        EXPECT_EQ(mayChangeStore(CertificateStore::System), !readOnly);
        EXPECT_TRUE(mayChangeStore(CertificateStore::Personal));
        EXPECT_EQ(storeEntryNames(CertificateStore::System), (std::vector<std::string>{"Jane Doe", "Tomas Reyes"}));
        EXPECT_EQ(storeEntryNames(CertificateStore::Personal), std::vector<std::string>{"Mine"});
        EXPECT_EQ(readStoreEntry(storeOfFlag(0), "Jane Doe"), (std::vector<BYTE>{5, 6, 7, 8}));
        EXPECT_EQ(readStoreEntry(storeOfFlag(1), "Mine"), (std::vector<BYTE>{1, 2, 3, 4}));
        EXPECT_FALSE(readStoreEntry(CertificateStore::System, "Nobody"));

        // Read access never becomes write access.
        RegistryKey key;
        ASSERT_EQ(openStoreForReading(key, CertificateStore::System), ERROR_SUCCESS);
        const BYTE byte = 0;
        EXPECT_EQ(RegSetValueExA(key.Handle(), "Intruder", 0, REG_BINARY, &byte, 1) == ERROR_SUCCESS, !readOnly);
        RegDeleteValueA(key.Handle(), "Intruder");
    }
}

TEST_F(CertificateStoreTest, AMissingStoreListsNothing) {
    registry::resetHives();
    setenv("VLT_MACHINE_DIR", (sandbox.root() + "/empty-machine").c_str(), 1);
    registry::resetHives();
    EXPECT_TRUE(storeEntryNames(CertificateStore::System).empty());
    EXPECT_FALSE(readStoreEntry(CertificateStore::System, "Jane Doe"));
}

}  // namespace
}  // namespace vlt
