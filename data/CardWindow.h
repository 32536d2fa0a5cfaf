// What a card window offers the data module's after-scroll hooks, and the
// window reference that names such a window. The data module refreshes a card
// through this interface alone, so it needs no window's class.
#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

class CardWindow {
public:
    // The window is on screen (a hidden or closing window is not refreshed).
    virtual bool isCardShown() const = 0;
    // Shows the current row's photo and writes the status bar.
    virtual void refreshCard() = 0;

protected:
    ~CardWindow() = default;
};

// Names the newest window of one kind, or none. Assigning a window takes its
// card side at the same time; the assignment is compiled where the window's
// class is complete, so the data module itself only reads the reference.
template <class W>
class WindowReference {
public:
    WindowReference& operator=(W* window) {
        m_window = window;
        m_card = window;
        return *this;
    }
    WindowReference& operator=(std::nullptr_t) {
        m_window = nullptr;
        m_card = nullptr;
        return *this;
    }
    operator W*() const { return m_window; }
    W* operator->() const { return m_window; }
    W* get() const { return m_window; }
    CardWindow* card() const { return m_card; }
    // The card side of every live window of this kind, oldest first: older
    // windows stay on screen after the reference has moved on to a newer one.
    const std::vector<CardWindow*>& cards() const { return m_live; }

    // Held by a window from the start of its construction: the reference names
    // the window at once, and is emptied when the window goes, also when its
    // construction fails half-way (the window never finishes, so its own
    // destructor never runs).
    class Claim {
    public:
        Claim(WindowReference& reference, W* window) : m_reference(reference), m_window(window) {
            m_reference = window;
            m_reference.m_live.push_back(window);
        }
        ~Claim() {
            if (m_reference.get() == m_window) m_reference = nullptr;
            auto& live = m_reference.m_live;
            live.erase(std::remove(live.begin(), live.end(), static_cast<CardWindow*>(m_window)),
                       live.end());
        }
        Claim(const Claim&) = delete;
        Claim& operator=(const Claim&) = delete;

    private:
        WindowReference& m_reference;
        W* m_window;
    };

private:
    W* m_window = nullptr;
    CardWindow* m_card = nullptr;
    std::vector<CardWindow*> m_live;
};
