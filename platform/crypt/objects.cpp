#include "crypt/objects.h"

#include <cctype>
#include <map>
#include <shared_mutex>
#include <unordered_map>
#include <vector>

#include "crypt/providers.h"

namespace vlt::crypt {
namespace {

struct Tables {
    std::shared_mutex mu;
    std::unordered_map<ULONG_PTR, std::shared_ptr<ProvCtx>> provs;
    std::unordered_map<ULONG_PTR, std::shared_ptr<KeyObj>> keys;
    std::unordered_map<ULONG_PTR, std::shared_ptr<HashObj>> hashes;
    ULONG_PTR next = 0x10000;

    std::mutex containersMu;
    std::map<std::string, std::shared_ptr<Container>> user;
    std::map<std::string, std::shared_ptr<Container>> machine;
};

// Never destroyed: objects hold OpenSSL state that must not be freed after OpenSSL's own exit
// cleanup.
Tables& tables() {
    static Tables* t = new Tables;
    return *t;
}

template <typename T>
std::shared_ptr<T> find(std::unordered_map<ULONG_PTR, std::shared_ptr<T>>& map, ULONG_PTR h) {
    if (h == 0) return nullptr;
    Tables& t = tables();
    std::shared_lock lock(t.mu);
    auto it = map.find(h);
    return it == map.end() ? nullptr : it->second;
}

std::string foldName(const std::string& name) {
    std::string folded = name;
    for (char& c : folded) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return folded;
}

}  // namespace

void Container::wipe() {
    std::lock_guard lock(mu);
    for (RsaRef* slot : {&exchange, &signature}) {
        if (*slot) {
            std::lock_guard keyLock((*slot)->mu);
            (*slot)->key.clear();
        }
        slot->reset();
    }
}

std::shared_ptr<ProvCtx> findProv(ULONG_PTR h) { return find(tables().provs, h); }
std::shared_ptr<KeyObj> findKey(ULONG_PTR h) { return find(tables().keys, h); }
std::shared_ptr<HashObj> findHash(ULONG_PTR h) { return find(tables().hashes, h); }

ULONG_PTR addProv(std::shared_ptr<ProvCtx> prov) {
    Tables& t = tables();
    std::unique_lock lock(t.mu);
    const ULONG_PTR h = t.next++;
    t.provs.emplace(h, std::move(prov));
    return h;
}

ULONG_PTR addKey(ULONG_PTR owner, std::shared_ptr<KeyObj> key) {
    Tables& t = tables();
    std::unique_lock lock(t.mu);
    auto it = t.provs.find(owner);
    if (it == t.provs.end()) return 0;
    const ULONG_PTR h = t.next++;
    key->owner = owner;
    t.keys.emplace(h, std::move(key));
    it->second->keys.insert(h);
    return h;
}

ULONG_PTR addHash(ULONG_PTR owner, std::shared_ptr<HashObj> hash) {
    Tables& t = tables();
    std::unique_lock lock(t.mu);
    auto it = t.provs.find(owner);
    if (it == t.provs.end()) return 0;
    const ULONG_PTR h = t.next++;
    hash->owner = owner;
    t.hashes.emplace(h, std::move(hash));
    it->second->hashes.insert(h);
    return h;
}

bool removeProv(ULONG_PTR h) {
    std::shared_ptr<ProvCtx> prov;
    std::vector<std::shared_ptr<KeyObj>> keys;  // freed outside the lock
    std::vector<std::shared_ptr<HashObj>> hashes;
    {
        Tables& t = tables();
        std::unique_lock lock(t.mu);
        auto it = t.provs.find(h);
        if (it == t.provs.end()) return false;
        prov = std::move(it->second);
        t.provs.erase(it);
        for (ULONG_PTR k : prov->keys) {
            auto kit = t.keys.find(k);
            if (kit != t.keys.end()) {
                keys.push_back(std::move(kit->second));
                t.keys.erase(kit);
            }
        }
        for (ULONG_PTR k : prov->hashes) {
            auto hit = t.hashes.find(k);
            if (hit != t.hashes.end()) {
                hashes.push_back(std::move(hit->second));
                t.hashes.erase(hit);
            }
        }
    }
    // An ephemeral container dies with its context.
    if (prov->verify) prov->container->wipe();
    return true;
}

bool removeKey(ULONG_PTR h) {
    std::shared_ptr<KeyObj> key;
    Tables& t = tables();
    std::unique_lock lock(t.mu);
    auto it = t.keys.find(h);
    if (it == t.keys.end() || h == 0) return false;
    key = std::move(it->second);
    t.keys.erase(it);
    if (auto owner = t.provs.find(key->owner); owner != t.provs.end()) owner->second->keys.erase(h);
    lock.unlock();
    return true;
}

bool removeHash(ULONG_PTR h) {
    std::shared_ptr<HashObj> hash;
    Tables& t = tables();
    std::unique_lock lock(t.mu);
    auto it = t.hashes.find(h);
    if (it == t.hashes.end() || h == 0) return false;
    hash = std::move(it->second);
    t.hashes.erase(it);
    if (auto owner = t.provs.find(hash->owner); owner != t.provs.end()) owner->second->hashes.erase(h);
    lock.unlock();
    return true;
}

std::shared_ptr<Container> containerOp(const std::string& name, bool machine, ContainerOp op, HRESULT& error) {
    Tables& t = tables();
    auto& map = machine ? t.machine : t.user;
    const std::string key = foldName(name);
    std::unique_lock lock(t.containersMu);
    auto it = map.find(key);
    error = 0;
    switch (op) {
        case ContainerOp::Open:
            if (it == map.end()) error = NTE_BAD_KEYSET;
            return it == map.end() ? nullptr : it->second;
        case ContainerOp::Create: {
            if (it != map.end()) {
                error = NTE_EXISTS;
                return nullptr;
            }
            auto c = std::make_shared<Container>(name);
            map.emplace(key, c);
            return c;
        }
        case ContainerOp::Delete: {
            if (it == map.end()) {
                error = NTE_BAD_KEYSET;
                return nullptr;
            }
            auto c = std::move(it->second);
            map.erase(it);
            lock.unlock();
            c->wipe();
            return nullptr;
        }
    }
    return nullptr;
}

void resetForTesting() {
    Tables& t = tables();
    std::vector<std::shared_ptr<Container>> containers;
    std::unordered_map<ULONG_PTR, std::shared_ptr<ProvCtx>> provs;
    std::unordered_map<ULONG_PTR, std::shared_ptr<KeyObj>> keys;
    std::unordered_map<ULONG_PTR, std::shared_ptr<HashObj>> hashes;
    {
        std::unique_lock lock(t.mu);
        provs.swap(t.provs);
        keys.swap(t.keys);
        hashes.swap(t.hashes);
    }
    {
        std::lock_guard lock(t.containersMu);
        for (auto* map : {&t.user, &t.machine}) {
            for (auto& [name, c] : *map) containers.push_back(c);
            map->clear();
        }
    }
    for (auto& [h, prov] : provs) containers.push_back(prov->container);
    for (auto& c : containers) c->wipe();
}

}  // namespace vlt::crypt
