#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

// The handles a driver library gives out: positive, counted up and not reused, so a
// handle that was closed stays invalid instead of reaching someone else's device.
template <typename T>
class HandleTable final
{
public:
    int32_t add(std::shared_ptr<T> item)
    {
        std::lock_guard lock(m_mutex);
        if (m_next == INT32_MAX)
            return 0;
        const int32_t handle = m_next++;
        m_items.emplace(handle, std::move(item));
        return handle;
    }

    std::shared_ptr<T> get(int32_t handle) const
    {
        std::lock_guard lock(m_mutex);
        const auto it = m_items.find(handle);
        return it == m_items.end() ? nullptr : it->second;
    }

    std::shared_ptr<T> take(int32_t handle)
    {
        std::lock_guard lock(m_mutex);
        const auto it = m_items.find(handle);
        if (it == m_items.end())
            return nullptr;
        std::shared_ptr<T> item = std::move(it->second);
        m_items.erase(it);
        return item;
    }

    // Given out once (and closed since, when get() finds nothing).
    bool wasIssued(int32_t handle) const
    {
        std::lock_guard lock(m_mutex);
        return handle >= 1 && handle < m_next;
    }

    template <typename Pred>
    bool any(Pred pred) const
    {
        std::lock_guard lock(m_mutex);
        for (const auto &[handle, item] : m_items) {
            if (pred(*item))
                return true;
        }
        return false;
    }

private:
    mutable std::mutex m_mutex;
    std::map<int32_t, std::shared_ptr<T>> m_items;
    int32_t m_next = 1;
};
