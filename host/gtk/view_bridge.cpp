#include "host/gtk/view_bridge.h"

#include <algorithm>
#include <cctype>

namespace corvane::view_bridge {

namespace {

// Kept short and free of page-visible globals: it runs in its own world, so the page's DOM is
// shared but its (forbidden) scripts could not reach these functions or the message handler.
constexpr std::string_view kScript = R"JS((() => {
  'use strict';
  const handler = window.webkit.messageHandlers.corvane;
  const formControl = el => el instanceof HTMLInputElement || el instanceof HTMLSelectElement ||
      el instanceof HTMLTextAreaElement || el instanceof HTMLButtonElement ||
      el instanceof HTMLOptionElement;
  const send = (kind, el) => {
    handler.postMessage({
      kind,
      n: el.getAttribute('data-n') || '',
      checked: el instanceof HTMLInputElement ? el.checked : false,
      value: formControl(el) ? String(el.value) : (el.getAttribute('value') || ''),
    });
  };
  const numbered = target => (target instanceof Element ? target : target.parentElement)
      ?.closest('[data-n]');

  document.addEventListener('click', e => {
    if (!(e.target instanceof Node)) return;
    const origin = e.target instanceof Element ? e.target : e.target.parentElement;
    // A link is a command of the dialog, never a navigation.
    if (origin?.closest('a[href], area[href]')) e.preventDefault();
    // The element that carries the command: a click on the text or icon inside a button is a
    // click on the button.
    const el = origin?.closest('[cid]') || numbered(e.target);
    if (el) send('click', el);
  }, true);
  document.addEventListener('change', e => {
    const el = numbered(e.target);
    if (el) send('change', el);
  }, true);
  document.addEventListener('submit', e => e.preventDefault(), true);

  // Elements the browser activates from the keyboard by itself; everything else that is focused
  // gets a click from Enter or Space here, so the keyboard reaches the dialog as a click.
  const typing = el => el.isContentEditable || el instanceof HTMLTextAreaElement ||
      el instanceof HTMLSelectElement ||
      (el instanceof HTMLInputElement &&
       !['button', 'submit', 'reset', 'image', 'checkbox', 'radio'].includes(el.type));
  const nativeKey = (el, key) => {
    if (el instanceof HTMLButtonElement) return true;
    if (el instanceof HTMLInputElement) {
      if (['button', 'submit', 'reset', 'image'].includes(el.type)) return true;
      return key === ' ';  // check boxes and radio buttons toggle on Space
    }
    if (el instanceof HTMLAnchorElement && el.hasAttribute('href')) return key === 'Enter';
    return false;
  };
  document.addEventListener('keydown', e => {
    if (e.key !== 'Enter' && e.key !== ' ') return;
    if (e.altKey || e.ctrlKey || e.metaKey || e.repeat) return;
    const el = document.activeElement;
    if (!el || el === document.body || el !== e.target || typing(el)) return;
    if (nativeKey(el, e.key)) return;
    e.preventDefault();
    el.click();
  }, true);

  // Commands must be reachable with Tab even when a snippet forgot to make them focusable.
  const focusable = root => {
    for (const el of root.querySelectorAll('[cid], [pluginid]')) {
      if (el.hasAttribute('tabindex') || el instanceof HTMLButtonElement ||
          el instanceof HTMLInputElement || el instanceof HTMLSelectElement ||
          el instanceof HTMLTextAreaElement || (el instanceof HTMLAnchorElement && el.href)) {
        continue;
      }
      el.tabIndex = 0;
    }
  };
  document.addEventListener('DOMContentLoaded', () => focusable(document));

  const node = n => document.querySelector('[data-n="' + n + '"]');
  const moveRow = (table, from, to) => {
    const rows = table.rows;
    if (!rows || from < 0 || from >= rows.length || to < 0) return;
    const row = rows[from];
    const parent = row.parentNode;
    row.remove();
    const before = table.rows[to];
    if (before) before.parentNode.insertBefore(row, before);
    else if (table.rows.length) {
      const last = table.rows[table.rows.length - 1];
      last.parentNode.insertBefore(row, last.nextSibling);
    } else parent.appendChild(row);
  };
  // The batch comes from the dialog's DOM, which keeps form state with the browser's own rules:
  // plain attribute calls keep both copies alike.
  const applyOne = c => {
    const el = node(c.n);
    if (!el) return;
    switch (c.op) {
      case 'html': el.innerHTML = c.html; focusable(el); break;
      case 'text': el.textContent = c.text; break;
      case 'insert':
        el.insertAdjacentHTML(c.where, c.html);
        focusable(el.parentElement || el);
        break;
      case 'attr': el.setAttribute(c.name, c.value); break;
      case 'unattr': el.removeAttribute(c.name); break;
      case 'moveRow': moveRow(el, c.from, c.to); break;
    }
  };

  // A batch may replace the control the user was on: its new copy (same command, same plug-in,
  // else same id) gets the focus back. With nothing focused before, the start page's primary
  // button takes it, so Enter starts at once.
  const focusedKey = () => {
    const el = document.activeElement;
    if (!el || el === document.body || !el.getAttribute) return null;
    return { cid: el.getAttribute('cid'), plugin: el.getAttribute('pluginid'), id: el.id };
  };
  const refocus = key => {
    const now = document.activeElement;
    if (now && now !== document.body) return;
    let target = null;
    if (key && key.cid !== null) {
      for (const el of document.querySelectorAll('[cid]')) {
        if (el.getAttribute('cid') === key.cid && el.getAttribute('pluginid') === key.plugin) {
          target = el;
          break;
        }
      }
    }
    if (!target && key && key.id) target = document.getElementById(key.id);
    if (!target && !key) target = document.querySelector('#ScanNowButton [cid]');
    if (target) target.focus({ preventScroll: true });
  };

  // Areas that survive a batch keep where the user had scrolled them to, as long as they still
  // show the same cleaner's controls: another cleaner's page starts at its top.
  const cleanerOf = el => {
    const control = el.querySelector('[pluginid]');
    return control ? control.getAttribute('pluginid') : '';
  };
  window.corvaneApply = changes => {
    const focusKey = focusedKey();
    const kept = [];
    const page = document.scrollingElement;
    if (page) kept.push([page, page.scrollTop, page.scrollLeft, cleanerOf(page)]);
    for (const el of document.querySelectorAll('[data-n]')) {
      if (el.scrollTop || el.scrollLeft) kept.push([el, el.scrollTop, el.scrollLeft, cleanerOf(el)]);
    }
    for (const c of changes) {
      try { applyOne(c); } catch (err) { console.error('corvane: change not applied', err); }
    }
    for (const [el, top, left, cleaner] of kept) {
      if (!el.isConnected) continue;
      const same = cleanerOf(el) === cleaner;
      const [y, x] = same ? [top, left] : [0, 0];
      if (el.scrollTop !== y || el.scrollLeft !== x) {
        el.scrollTop = y;
        el.scrollLeft = x;
      }
    }
    refocus(focusKey);
  };
})();
)JS";

constexpr std::string_view kPolicy =
    "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
    "script-src 'none'; object-src 'none'; style-src file: 'unsafe-inline'; "
    "img-src file: data:; font-src file: data:\">";

// Position just after the start tag `<tag ...>` (case-insensitive), or npos.
std::size_t AfterStartTag(const std::string& html, std::string_view tag) {
  std::size_t pos = 0;
  while (pos < html.size()) {
    pos = html.find('<', pos);
    if (pos == std::string::npos) return pos;
    if (html.compare(pos, 4, "<!--") == 0) {
      pos = html.find("-->", pos + 4);
      if (pos == std::string::npos) return pos;
      continue;
    }
    const std::size_t nameEnd = pos + 1 + tag.size();
    const bool nameMatches =
        nameEnd <= html.size() &&
        std::equal(tag.begin(), tag.end(), html.begin() + static_cast<std::ptrdiff_t>(pos) + 1,
                   [](char a, char b) {
                     return std::tolower(static_cast<unsigned char>(a)) ==
                            std::tolower(static_cast<unsigned char>(b));
                   });
    if (nameMatches && (nameEnd == html.size() || html[nameEnd] == '>' || html[nameEnd] == '/' ||
                        std::isspace(static_cast<unsigned char>(html[nameEnd])))) {
      const std::size_t close = html.find('>', nameEnd);
      return close == std::string::npos ? close : close + 1;
    }
    ++pos;
  }
  return std::string::npos;
}

}  // namespace

std::string_view Script() {
  return kScript;
}

std::string ApplyScript(const std::vector<dom::Change>& changes) {
  return "corvaneApply(" + dom::ChangesToJson(changes) + ");";
}

std::string WithPagePolicy(std::string html) {
  std::size_t at = AfterStartTag(html, "head");
  if (at == std::string::npos) at = AfterStartTag(html, "html");
  if (at == std::string::npos) {
    // No head or html tag: after a doctype, so the page keeps its standards mode.
    at = 0;
    if (html.size() >= 9 &&
        std::equal(html.begin(), html.begin() + 9, "<!doctype", [](char a, char b) {
          return std::tolower(static_cast<unsigned char>(a)) == b;
        })) {
      const std::size_t close = html.find('>');
      at = close == std::string::npos ? html.size() : close + 1;
    }
  }
  html.insert(at, kPolicy);
  return html;
}

}  // namespace corvane::view_bridge
