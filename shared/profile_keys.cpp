#include "shared/profile_keys.h"

#include <optional>
#include <string>

#include "base/wipe.h"
#include "shared/container_names.h"
#include "shared/crypt_handles.h"
#include "shared/password_key.h"
#include "shared/registry_binary.h"
#include "shared/registry_key.h"
#include "shared/registry_layout.h"

namespace vlt {
namespace {

using AtEnd = ContainerSession::AtEnd;

// The wrapped private key of `provider` unwrapped with oldPassword and wrapped again under
// newPassword, in a profile container that is deleted at the end.
enum class Rewrap { Done, NoContainer, Failed };

Rewrap rewrapPrivateKey(Provider provider, ByteView wrapped, std::string_view oldPassword,
                        std::string_view newPassword, Bytes& rewrapped) {
    ContainerSession session(profileContainerName(), provider, AtEnd::Delete);
    if (!session.acquire()) return Rewrap::NoContainer;
    CryptKey oldKey;
    CryptKey privateKey;
    CryptKey newKey;
    if (!derivePasswordKey(session.get(), oldPassword, CRYPT_EXPORTABLE, oldKey.out())) return Rewrap::Failed;
    if (!importWrappedPrivateKey(session.get(), provider, wrapped, oldKey.get(), privateKey.out()))
        return Rewrap::Failed;
    if (!derivePasswordKey(session.get(), newPassword, CRYPT_EXPORTABLE, newKey.out())) return Rewrap::Failed;
    // Rewritten at the provider's default strength, whatever the old blob used.
    if (!exportKeyBlob(privateKey.get(), newKey.get(), PRIVATEKEYBLOB, rewrapped)) return Rewrap::Failed;
    return Rewrap::Done;
}

// Unwraps one provider's private key in the cache container and stores its plain export as
// that provider's unlock-cache value. false only when the container cannot be acquired.
bool cachePrivateKey(Provider provider, std::string_view password) {
    ContainerSession session(kCacheContainerName, provider, AtEnd::Delete);
    if (!session.acquire()) return false;
    CryptKey passwordKey;
    CryptKey privateKey;
    if (!derivePasswordKey(session.get(), password, CRYPT_EXPORTABLE, passwordKey.out())) return true;
    RegistryKey profile;
    if (profile.Open(HKEY_CURRENT_USER, layout::kProfileKey) != ERROR_SUCCESS) return true;
    const auto wrapped = readBinaryValue(profile, wrappedKeyValueName(provider));
    if (!wrapped) return true;
    if (!importWrappedPrivateKey(session.get(), provider, *wrapped, passwordKey.get(), privateKey.out())) return true;
    passwordKey.reset();
    base::SecretBytes plain;
    if (!exportKeyBlob(privateKey.get(), 0, PRIVATEKEYBLOB, plain)) return true;
    // A failed write is not reported: the next unlock simply asks for the password again.
    setBinaryValue(profile.Handle(), unlockCacheValueName(provider), plain.bytes());
    return true;
}

}  // namespace

Result<void> checkNewPassword(std::string_view passwordAnsi) {
    if (passwordAnsi.empty()) return fail("the password is empty", ERROR_INVALID_PARAMETER);
    if (passwordAnsi.find('\0') != std::string::npos)
        return fail("the password contains a NUL character, which the password dialog cannot take",
                    ERROR_INVALID_PARAMETER);
    if (passwordAnsi.size() > kMaxPasswordLength)
        return fail("the password is longer than " + std::to_string(kMaxPasswordLength) +
                        " characters, more than the password dialog takes",
                    ERROR_INVALID_PARAMETER);
    return {};
}

bool profileExists() {
    RegistryKey profile;
    DWORD initUser = 0;
    return profile.Create(HKEY_CURRENT_USER, layout::kProfileKey) == ERROR_SUCCESS &&
           profile.QueryDword(initUser, layout::kInitUser) == ERROR_SUCCESS && initUser == 1;
}

std::optional<NewKeyPair> makeKeyPair(Provider provider, std::string_view passwordAnsi, const Identity& identity) {
    if (!checkNewPassword(passwordAnsi)) return std::nullopt;
    ContainerSession session(profileContainerName(), provider, AtEnd::Delete);
    if (!session.acquire()) return std::nullopt;
    CryptKey passwordKey;
    CryptKey pair;
    if (!derivePasswordKey(session.get(), passwordAnsi, 0, passwordKey.out())) return std::nullopt;
    if (!CryptGenKey(session.get(), AT_KEYEXCHANGE, CRYPT_EXPORTABLE, pair.out())) return std::nullopt;

    NewKeyPair out{provider, {}, {}};
    CertificateRecord record;
    record.identity = identity;
    if (!exportKeyBlob(pair.get(), 0, PUBLICKEYBLOB, record.keyBlob)) return std::nullopt;
    out.record = buildCertificateRecord(record);
    if (!exportKeyBlob(pair.get(), passwordKey.get(), PRIVATEKEYBLOB, out.wrapped)) return std::nullopt;
    return out;
}

bool storeKeyPairs(const std::vector<NewKeyPair>& pairs) {
    // A public key beside another pair's private key would lock files nobody can open.
    RegistryTransaction transaction;
    if (transaction.Status() != ERROR_SUCCESS) return false;
    RegistryKey profile;
    if (profile.Create(HKEY_CURRENT_USER, layout::kProfileKey) != ERROR_SUCCESS) return false;
    for (const auto& pair : pairs) {
        if (setBinaryValue(profile.Handle(), certificateValueName(pair.provider), pair.record) != ERROR_SUCCESS)
            return false;
        if (setBinaryValue(profile.Handle(), wrappedKeyValueName(pair.provider), pair.wrapped) != ERROR_SUCCESS)
            return false;
    }
    if (profile.SetDword(1, layout::kInitUser) != ERROR_SUCCESS) return false;
    return transaction.Commit() == ERROR_SUCCESS;
}

bool createKeyPair(Provider provider, std::string_view passwordAnsi, const Identity& identity) {
    const auto pair = makeKeyPair(provider, passwordAnsi, identity);
    return pair && storeKeyPairs({*pair});
}

bool verifyPassword(std::string_view passwordAnsi, AfterVerify after) {
    ContainerSession session(profileContainerName(), Provider::Base,
                             after == AfterVerify::DeleteContainer ? AtEnd::Delete : AtEnd::Keep);
    if (!session.acquire()) return false;
    CryptKey passwordKey;
    CryptKey privateKey;
    if (!derivePasswordKey(session.get(), passwordAnsi, CRYPT_EXPORTABLE, passwordKey.out())) return false;
    RegistryKey profile;
    if (profile.Open(HKEY_CURRENT_USER, layout::kProfileKey) != ERROR_SUCCESS) return false;
    const auto wrapped = readBinaryValue(profile, layout::kExchangeBlob2);
    if (!wrapped) return false;
    return CryptImportKey(session.get(), wrapped->data(), static_cast<DWORD>(wrapped->size()), passwordKey.get(),
                          CRYPT_EXPORTABLE, privateKey.out()) != FALSE;
}

bool deleteProfileContainer(Provider provider) { return deleteContainer(profileContainerName(), provider); }

bool changePassword(const std::string& oldPasswordAnsi, const std::string& newPasswordAnsi) {
    if (!checkNewPassword(newPasswordAnsi)) return false;
    RegistryKey profile;
    if (profile.Open(HKEY_CURRENT_USER, layout::kProfileKey) != ERROR_SUCCESS) return false;

    // Both new blobs are made before either is written, so that a provider that cannot be
    // acquired does not leave the two keys under different passwords.
    Bytes newBase;
    bool baseDone = false;
    if (const auto wrapped = readBinaryValue(profile, layout::kExchangeBlob2)) {
        const Rewrap r = rewrapPrivateKey(Provider::Base, *wrapped, oldPasswordAnsi, newPasswordAnsi, newBase);
        if (r == Rewrap::NoContainer) return false;
        baseDone = r == Rewrap::Done;
    } else {
        // Without ExchangeBlob2 there is nothing to import; the provider must still be there.
        if (!ContainerSession(profileContainerName(), Provider::Base, AtEnd::Delete).acquire()) return false;
    }

    Bytes newEnhanced;
    bool enhancedDone = false;
    if (const auto wrapped = readBinaryValue(profile, layout::kExchangeBlob4)) {
        const Rewrap r =
            rewrapPrivateKey(Provider::Enhanced, *wrapped, oldPasswordAnsi, newPasswordAnsi, newEnhanced);
        if (r == Rewrap::NoContainer) return false;
        enhancedDone = r == Rewrap::Done;
    }

    // Both keys change together or neither does.
    RegistryTransaction transaction;
    if (transaction.Status() != ERROR_SUCCESS) return false;
    if (baseDone && setBinaryValue(profile.Handle(), layout::kExchangeBlob2, newBase) != ERROR_SUCCESS) return false;
    if (enhancedDone && setBinaryValue(profile.Handle(), layout::kExchangeBlob4, newEnhanced) != ERROR_SUCCESS)
        return false;
    return (baseDone || enhancedDone) && transaction.Commit() == ERROR_SUCCESS;
}

bool acquireWorkContainer(Provider provider, HCRYPTPROV* prov) {
    const char* name = providerName(provider);
    if (CryptAcquireContextA(prov, kWorkContainerName, name, PROV_RSA_FULL, 0)) return true;
    if (CryptAcquireContextA(prov, kWorkContainerName, name, PROV_RSA_FULL, CRYPT_NEWKEYSET)) return true;
    deleteContainer(kWorkContainerName, provider);
    return CryptAcquireContextA(prov, kWorkContainerName, name, PROV_RSA_FULL, CRYPT_NEWKEYSET) != FALSE;
}

bool loadOwnPublicKey(HCRYPTPROV prov, Provider provider, HCRYPTKEY* exchangeKey) {
    RegistryKey profile;
    if (profile.Open(HKEY_CURRENT_USER, layout::kProfileKey) != ERROR_SUCCESS) return false;
    const auto record = readBinaryValue(profile, certificateValueName(provider));
    if (!record) return false;
    const auto blob = certificateKeyBlob(*record);
    if (!blob) return false;
    return CryptImportKey(prov, blob->data(), static_cast<DWORD>(blob->size()), 0, 0, exchangeKey) != FALSE;
}

bool loadPrivateKey(HCRYPTPROV prov, Provider provider, std::string_view passwordAnsi, HCRYPTKEY* exchangeKey) {
    layout::declareVolatileValues();
    RegistryKey profile;
    if (profile.Open(HKEY_CURRENT_USER, layout::kProfileKey) != ERROR_SUCCESS) return false;

    if (auto cached = readBinaryValue(profile, unlockCacheValueName(provider))) {
        base::SecretBytes plain(std::move(*cached));
        return CryptImportKey(prov, plain.bytes().data(), static_cast<DWORD>(plain.bytes().size()), 0, 0,
                              exchangeKey) != FALSE;
    }

    CryptKey passwordKey;
    CryptKey privateKey;
    if (!derivePasswordKey(prov, passwordAnsi, CRYPT_EXPORTABLE, passwordKey.out())) return false;
    const auto wrapped = readBinaryValue(profile, wrappedKeyValueName(provider));
    if (!wrapped) return false;
    if (!importWrappedPrivateKey(prov, provider, *wrapped, passwordKey.get(), privateKey.out())) return false;
    // The key must be exportable in plain for the cache.
    DWORD size = 0;
    if (!CryptExportKey(privateKey.get(), 0, PRIVATEKEYBLOB, 0, nullptr, &size)) return false;
    passwordKey.reset();
    profile.Close();
    fillUnlockCache(passwordAnsi);
    *exchangeKey = privateKey.release();
    return true;
}

bool fillUnlockCache(std::string_view passwordAnsi) {
    layout::declareVolatileValues();
    if (!cachePrivateKey(Provider::Base, passwordAnsi)) return false;
    RegistryKey profile;
    if (profile.Open(HKEY_CURRENT_USER, layout::kProfileKey) != ERROR_SUCCESS) return true;
    if (!readBinaryValue(profile, layout::kExchangeBlob4)) return true;
    profile.Close();
    return cachePrivateKey(Provider::Enhanced, passwordAnsi);
}

bool lockProfile() {
    layout::declareVolatileValues();
    RegistryKey profile;
    const LONG opened = profile.Open(HKEY_CURRENT_USER, layout::kProfileKey);
    if (opened == ERROR_FILE_NOT_FOUND) return true;
    if (opened != ERROR_SUCCESS) return false;
    bool ok = true;
    for (const char* name : {layout::kTempExchangeBlob1, layout::kTempExchangeBlob2}) {
        const LONG r = RegDeleteValueA(profile.Handle(), name);
        if (r != ERROR_SUCCESS && r != ERROR_FILE_NOT_FOUND) ok = false;
    }
    return ok;
}

Result<std::string> readOwnDisplayName(std::size_t bufferSize) {
    RegistryKey profile;
    if (const LONG r = profile.Open(HKEY_CURRENT_USER, layout::kProfileKey); r != ERROR_SUCCESS)
        return fail("no profile key", static_cast<std::uint32_t>(r));
    const auto record = readBinaryValue(profile, layout::kExchangeBlob1);
    if (!record) return fail("no certificate record", ERROR_FILE_NOT_FOUND);
    return certificateDisplayName(*record, bufferSize);
}

}  // namespace vlt
