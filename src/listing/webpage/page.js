// Quillon's interactive page: the rows written into the page's JSON blocks become columns of
// typed arrays, and only the rows in view are ever made into elements, so a million entries
// stay usable. Names are only ever set as text, never as markup.
'use strict';
(function () {
  const ROW = 20;
  // Beyond this height a scroll position is mapped onto the rows: browsers cap an element's
  // height a little above 33 million pixels.
  const MAX_HEIGHT = 1 << 24;
  const FILE = 0;
  const FOLDER = 1;
  const $ = (id) => document.getElementById(id);
  const head = JSON.parse($('page-header').textContent);
  const ALLOC = head.totals ? 7 : 5;
  const DETAIL = ALLOC + (head.allocated ? 1 : 0);

  // --- the entries, column by column ---------------------------------------------------
  const blocks = Array.from(document.querySelectorAll('script.rows'));
  let cap = 0;
  let n = 0;
  let kind, parent, names, size, mtime, total, count, alloc;
  const details = head.details.map(() => []);
  const folderEntry = [];
  blocks.forEach((block, b) => {
    const rows = JSON.parse(block.textContent);
    block.remove();
    if (b === 0) {
      // Every block but the last holds as many rows as the first.
      cap = rows.length * blocks.length;
      kind = new Uint8Array(cap);
      parent = new Int32Array(cap);
      names = new Array(cap);
      size = new Float64Array(cap);
      mtime = new Float64Array(cap);
      total = new Float64Array(cap).fill(NaN);
      count = new Float64Array(cap).fill(NaN);
      alloc = new Float64Array(cap).fill(NaN);
    }
    for (const r of rows) {
      const k = r[0];
      kind[n] = k;
      parent[n] = r[1] < 0 ? -1 : folderEntry[r[1]];
      names[n] = r[2];
      size[n] = r[3] === null ? NaN : r[3];
      mtime[n] = r[4] === null ? NaN : r[4];
      if (head.totals && r[5] !== null) {
        total[n] = r[5];
        count[n] = r[6];
      }
      if (head.allocated && r[ALLOC] !== null) alloc[n] = r[ALLOC];
      for (let d = 0; d < details.length; d++) details[d][n] = r[DETAIL + d];
      if (k === FOLDER) folderEntry.push(n);
      n++;
    }
  });

  // Folder totals: those the scan made, or summed here for the tree with sizes.
  const sums = head.totals || head.reportType === 'Tree view with file size';
  if (sums && !head.totals) {
    for (const f of folderEntry) {
      total[f] = 0;
      count[f] = 0;
    }
    // Children come after their folder, so one pass from the end adds up every level.
    for (let i = n - 1; i >= 0; i--) {
      const p = parent[i];
      if (p < 0) continue;
      if (kind[i] === FOLDER) {
        total[p] += total[i];
        count[p] += count[i];
      } else if (!Number.isNaN(size[i])) {
        total[p] += size[i];
        count[p] += 1;
      }
    }
  }

  // Children of each entry, in the scan's order.
  const childStart = new Int32Array(n + 1);
  const kids = new Int32Array(n);
  const depth = new Int32Array(n);
  const roots = [];
  let deepest = 0;
  for (let i = 0; i < n; i++) {
    const p = parent[i];
    if (p < 0) {
      roots.push(i);
    } else {
      childStart[p + 1]++;
      depth[i] = depth[p] + 1;
      if (depth[i] > deepest) deepest = depth[i];
    }
  }
  for (let i = 0; i < n; i++) childStart[i + 1] += childStart[i];
  {
    const fill = childStart.slice(0, n);
    for (let i = 0; i < n; i++) if (parent[i] >= 0) kids[fill[parent[i]]++] = i;
  }
  let fileCount = 0;
  for (let i = 0; i < n; i++) if (kind[i] !== FOLDER) fileCount++;
  const folderCount = n - fileCount;
  // The table lists files; a folder list has none, so its folders.
  const tableEntries = new Int32Array(fileCount || n);
  for (let i = 0, t = 0; i < n; i++) if (fileCount === 0 || kind[i] !== FOLDER) tableEntries[t++] = i;

  // --- texts ------------------------------------------------------------------------------
  const grouped = new Intl.NumberFormat('en-US');
  const pad = (v) => (v < 10 ? '0' : '') + v;
  function dateText(seconds) {
    if (Number.isNaN(seconds)) return '';
    const d = new Date(seconds * 1000);
    return d.getFullYear() + '-' + pad(d.getMonth() + 1) + '-' + pad(d.getDate()) + ' ' +
      pad(d.getHours()) + ':' + pad(d.getMinutes()) + ':' + pad(d.getSeconds());
  }
  const numberText = (v) => (Number.isNaN(v) ? '' : grouped.format(v));
  const plural = (v, one, many) => grouped.format(v) + ' ' + (v === 1 ? one : many);
  const folderPaths = new Map();
  function folderPath(e) {
    if (e < 0) return '';
    let path = folderPaths.get(e);
    if (path === undefined) {
      const above = folderPath(parent[e]);
      path = above === '' ? names[e] : above + (above.endsWith('/') ? '' : '/') + names[e];
      folderPaths.set(e, path);
    }
    return path;
  }

  $('about').textContent = head.reportType + ' of ' + head.locations.join(', ') +
    ', scanned ' + head.scanned;
  document.title = 'Quillon - ' + head.locations.join(', ');

  // --- state ------------------------------------------------------------------------------
  const open = new Uint8Array(n);
  for (const r of roots) open[r] = 1;
  const closedWhileFiltered = new Uint8Array(n);
  const keep = new Uint8Array(n); // a match or a folder above one
  const hit = new Uint8Array(n);
  let filtering = false;
  let matches = 0;
  let table = false;
  let list = new Int32Array(n); // the rows of the view, top to bottom
  let rowCount = 0;
  let order = tableEntries; // the table's rows in the chosen order, before filtering
  let sortColumn = -1;
  let descending = false;
  let cursor = -1; // the row the keys move, a place in list

  const isOpen = (e) => (filtering ? !closedWhileFiltered[e] : open[e] === 1);

  // The tree's rows: each root, and below each open folder its children.
  function flattenTree() {
    const stackEntry = new Int32Array(deepest + 2);
    const stackNext = new Int32Array(deepest + 2);
    let m = 0;
    for (const root of roots) {
      if (filtering && !keep[root]) continue;
      list[m++] = root;
      if (kind[root] !== FOLDER || !isOpen(root)) continue;
      let sp = 0;
      stackEntry[0] = root;
      stackNext[0] = childStart[root];
      while (sp >= 0) {
        const e = stackEntry[sp];
        const k = stackNext[sp];
        if (k === childStart[e + 1]) {
          sp--;
          continue;
        }
        stackNext[sp] = k + 1;
        const c = kids[k];
        if (filtering && !keep[c]) continue;
        list[m++] = c;
        if (kind[c] === FOLDER && isOpen(c)) {
          sp++;
          stackEntry[sp] = c;
          stackNext[sp] = childStart[c];
        }
      }
    }
    rowCount = m;
  }

  function flattenTable() {
    let m = 0;
    for (let i = 0; i < order.length; i++) {
      const e = order[i];
      if (!filtering || hit[e]) list[m++] = e;
    }
    rowCount = m;
  }

  // --- the table's columns ----------------------------------------------------------------
  const columns = [
    { label: 'Name', cls: 'name', text: (e) => names[e], key: (e) => names[e] },
    { label: 'Folder', cls: 'c-folder', text: (e) => folderPath(parent[e]),
      key: (e) => folderPath(parent[e]) },
    { label: 'Size', cls: 'c-size', text: (e) => numberText(size[e]), number: size },
    { label: 'Modified', cls: 'c-modified', text: (e) => dateText(mtime[e]), number: mtime },
  ];
  // Listed folders have no size of their own, only totals.
  if (fileCount === 0) columns.splice(2, 1);
  if (head.allocated && fileCount > 0) {
    columns.push({ label: 'Allocated', cls: 'c-alloc', text: (e) => numberText(alloc[e]),
      number: alloc });
  }
  if (head.totals && fileCount === 0) {
    columns.push({ label: 'Total size', cls: 'c-total', text: (e) => numberText(total[e]),
      number: total });
    columns.push({ label: 'Files', cls: 'c-count', text: (e) => numberText(count[e]),
      number: count });
  }
  const detailLabels = { attributes: 'Attributes', version: 'Version', owner: 'Owner',
    crc32: 'CRC32', title: 'Title', artist: 'Artist', album: 'Album', year: 'Year',
    genre: 'Genre', comment: 'Comment' };
  head.details.forEach((key, d) => {
    const values = details[d];
    columns.push({ label: detailLabels[key] || key, cls: 'c-detail', text: (e) => values[e] ?? '',
      key: (e) => values[e] });
  });

  // A text's place in the table: case and accents aside, runs of digits by their value. Keys
  // compared as plain strings sort a million rows in about a second, where a collator's
  // comparisons take several.
  const digitRun = (run) => (run.length >= 20 ? run : '0'.repeat(20 - run.length) + run);
  const sortKey = (text) => text.toLowerCase().normalize('NFD').replace(/[\u0300-\u036f]/g, '')
    .replace(/[0-9]+/g, digitRun);
  const ranksByColumn = new Map();

  // Each table entry's rank by a text column (0 first, -1 unknown); equal keys share a rank.
  // Only the distinct keys are sorted, by the engine's own comparison, not a callback.
  function ranksOf(c) {
    let ranks = ranksByColumn.get(c);
    if (ranks) return ranks;
    const column = columns[c];
    const keys = new Array(n);
    const keyOfText = new Map();
    const distinct = new Set();
    for (const e of tableEntries) {
      const text = column.key(e);
      let key = text == null ? null : keyOfText.get(text);
      if (key === undefined) {
        key = sortKey(text);
        keyOfText.set(text, key);
        distinct.add(key);
      }
      keys[e] = key;
    }
    const rankOf = new Map();
    Array.from(distinct).sort().forEach((key, i) => rankOf.set(key, i));
    ranks = new Int32Array(n).fill(-1);
    for (const e of tableEntries) if (keys[e] !== null) ranks[e] = rankOf.get(keys[e]);
    ranks.top = rankOf.size;
    ranksByColumn.set(c, ranks);
    return ranks;
  }

  // Equal values keep the scan's order and unknown values go last, either way. Numbers are
  // compared as they are; texts by rank, each entry packed into one number (rank, then entry)
  // that a typed array sorts natively.
  function sortBy(c) {
    descending = sortColumn === c ? !descending : false;
    sortColumn = c;
    const column = columns[c];
    if (column.number) {
      const v = column.number;
      const sign = descending ? -1 : 1;
      order = Int32Array.from(tableEntries).sort((a, b) => {
        const x = v[a];
        const y = v[b];
        if (Number.isNaN(x) || Number.isNaN(y)) {
          return Number.isNaN(x) === Number.isNaN(y) ? a - b : Number.isNaN(x) ? 1 : -1;
        }
        return x === y ? a - b : (x < y ? -sign : sign);
      });
    } else {
      const ranks = ranksOf(c);
      const stride = n + 1;
      const packed = new Float64Array(tableEntries.length);
      tableEntries.forEach((e, i) => {
        const r = ranks[e] < 0 ? ranks.top : (descending ? ranks.top - 1 - ranks[e] : ranks[e]);
        packed[i] = r * stride + e;
      });
      packed.sort();
      order = new Int32Array(packed.length);
      for (let i = 0; i < packed.length; i++) order[i] = packed[i] % stride;
    }
    refresh(true);
  }

  // --- drawing ----------------------------------------------------------------------------
  const view = $('view');
  const rowsLayer = $('rows');
  const spacer = $('spacer');
  const headRow = $('head');
  const status = $('status');

  function span(cls, text) {
    const s = document.createElement('span');
    s.className = cls;
    s.textContent = text;
    return s;
  }

  function treeRow(e) {
    const row = document.createElement('div');
    const folder = kind[e] === FOLDER;
    row.className = 'row';
    row.dataset.e = e;
    const name = span('name' + (folder ? ' dir' : '') + (filtering && hit[e] ? ' hit' : ''), '');
    name.style.paddingLeft = (6 + Math.min(depth[e], 60) * 16) + 'px';
    name.appendChild(span('twist', folder ? (isOpen(e) ? '\u25BE' : '\u25B8') : ''));
    name.appendChild(document.createTextNode(names[e]));
    row.appendChild(name);
    if (folder) {
      row.setAttribute('aria-expanded', isOpen(e) ? 'true' : 'false');
      row.appendChild(span('c-size num', sums ? numberText(total[e]) : ''));
      row.appendChild(span('c-count num muted',
        sums && !Number.isNaN(count[e]) ? plural(count[e], 'file', 'files') : ''));
    } else {
      row.appendChild(span('c-size num', numberText(size[e])));
      row.appendChild(span('c-count', ''));
    }
    row.appendChild(span('c-modified', dateText(mtime[e])));
    return row;
  }

  function tableRow(e) {
    const row = document.createElement('div');
    row.className = 'row table';
    row.dataset.e = e;
    for (const column of columns) {
      row.appendChild(span(column.cls + (column.number ? ' num' : ''), column.text(e)));
    }
    return row;
  }

  function drawHead() {
    headRow.className = table ? 'on' : '';
    headRow.replaceChildren();
    if (!table) return;
    columns.forEach((column, c) => {
      const s = span(column.cls, column.label);
      s.dataset.c = c;
      s.setAttribute('role', 'columnheader');
      if (c === sortColumn) s.setAttribute('aria-sort', descending ? 'descending' : 'ascending');
      headRow.appendChild(s);
    });
  }

  function draw() {
    const full = rowCount * ROW;
    const height = Math.min(full, MAX_HEIGHT);
    spacer.style.height = height + 'px';
    const shown = Math.ceil(view.clientHeight / ROW) + 1;
    let first;
    let top;
    if (full <= MAX_HEIGHT) {
      first = Math.floor(view.scrollTop / ROW);
      top = first * ROW;
    } else {
      const room = Math.max(1, height - view.clientHeight);
      // At the end of the scroll range the last row shows whole.
      const whole = Math.floor(view.clientHeight / ROW);
      first = Math.round(Math.min(1, view.scrollTop / room) * Math.max(0, rowCount - whole));
      top = view.scrollTop;
    }
    const rows = [];
    for (let i = first; i < Math.min(rowCount, first + shown); i++) {
      const row = table ? tableRow(list[i]) : treeRow(list[i]);
      row.dataset.i = i;
      if (i === cursor) row.classList.add('cursor');
      rows.push(row);
    }
    rowsLayer.style.top = top + 'px';
    rowsLayer.replaceChildren(...rows);
  }

  function tell() {
    const all = plural(fileCount, 'file', 'files') + ', ' + plural(folderCount, 'folder', 'folders');
    status.textContent = filtering
      ? plural(matches, 'name matches', 'names match') + ' (of ' + all + ')'
      : all;
  }

  function refresh(toTop) {
    const at = cursor >= 0 && cursor < rowCount ? list[cursor] : -1;
    if (table) flattenTable(); else flattenTree();
    // The cursor stays on its entry while that is still shown.
    cursor = at < 0 || toTop ? -1 : list.subarray(0, rowCount).indexOf(at);
    if (toTop) view.scrollTop = 0;
    drawHead();
    draw();
    tell();
  }

  let pending = false;
  view.addEventListener('scroll', () => {
    headRow.scrollLeft = view.scrollLeft;
    if (pending) return;
    pending = true;
    requestAnimationFrame(() => {
      pending = false;
      draw();
    });
  });
  window.addEventListener('resize', () => draw());

  function toggle(e) {
    if (filtering) closedWhileFiltered[e] ^= 1; else open[e] ^= 1;
    refresh(false);
  }

  rowsLayer.addEventListener('click', (event) => {
    const row = event.target.closest('.row');
    if (!row) return;
    cursor = Number(row.dataset.i);
    const e = Number(row.dataset.e);
    if (!table && kind[e] === FOLDER) toggle(e); else draw();
  });

  // Brings the cursor's row into view.
  function reveal() {
    const whole = Math.max(1, Math.floor(view.clientHeight / ROW));
    if (rowCount * ROW <= MAX_HEIGHT) {
      if (cursor * ROW < view.scrollTop) view.scrollTop = cursor * ROW;
      else if ((cursor + 1) * ROW > view.scrollTop + view.clientHeight) {
        view.scrollTop = (cursor + 1) * ROW - view.clientHeight;
      }
    } else {
      const room = Math.max(1, Math.min(rowCount * ROW, MAX_HEIGHT) - view.clientHeight);
      view.scrollTop = Math.max(0, cursor - whole + 1) / Math.max(1, rowCount - whole) * room;
    }
    draw();
  }

  // Up, Down, Page Up, Page Down, Home and End move the cursor; in the tree Right opens its
  // folder, Left closes it or goes up to the folder above, Enter and Space fold.
  view.addEventListener('keydown', (event) => {
    if (rowCount === 0) return;
    const page = Math.max(1, Math.floor(view.clientHeight / ROW) - 1);
    const e = cursor >= 0 ? list[cursor] : -1;
    const folder = !table && e >= 0 && kind[e] === FOLDER;
    let next = cursor;
    switch (event.key) {
      case 'ArrowDown': next = cursor + 1; break;
      case 'ArrowUp': next = cursor - 1; break;
      case 'PageDown': next = cursor + page; break;
      case 'PageUp': next = cursor - page; break;
      case 'Home': next = 0; break;
      case 'End': next = rowCount - 1; break;
      case 'ArrowRight':
        if (folder && !isOpen(e)) toggle(e);
        break;
      case 'ArrowLeft':
        if (folder && isOpen(e)) toggle(e);
        else if (!table && e >= 0 && parent[e] >= 0) {
          next = list.subarray(0, rowCount).indexOf(parent[e]);
        }
        break;
      case 'Enter':
      case ' ':
        if (folder) toggle(e);
        break;
      default:
        return;
    }
    event.preventDefault();
    cursor = Math.max(0, Math.min(rowCount - 1, next < 0 && cursor < 0 ? 0 : next));
    reveal();
  });

  headRow.addEventListener('click', (event) => {
    const cell = event.target.closest('[data-c]');
    if (cell) sortBy(Number(cell.dataset.c));
  });

  function filterBy(text) {
    filtering = text !== '';
    matches = 0;
    if (filtering) {
      const pattern = new RegExp(text.replace(/[.*+?^${}()|[\]\\]/g, '\\$&'), 'i');
      keep.fill(0);
      hit.fill(0);
      closedWhileFiltered.fill(0);
      for (let i = 0; i < n; i++) {
        if (!pattern.test(names[i])) continue;
        hit[i] = 1;
        matches++;
        for (let p = i; p >= 0 && !keep[p]; p = parent[p]) keep[p] = 1;
      }
    }
    refresh(true);
  }
  $('filter').addEventListener('input', (event) => filterBy(event.target.value));

  function showTable(on) {
    table = on;
    $('show-tree').setAttribute('aria-pressed', on ? 'false' : 'true');
    $('show-table').setAttribute('aria-pressed', on ? 'true' : 'false');
    refresh(true);
  }
  $('show-tree').addEventListener('click', () => showTable(false));
  $('show-table').addEventListener('click', () => showTable(true));

  // "page.html#filter=mp3" opens already filtered, so a link can point at a part of the scan.
  const asked = /^#filter=(.*)$/.exec(window.location.hash);
  if (asked) {
    let text = asked[1];
    try {
      text = decodeURIComponent(text);
    } catch (e) {
      // a malformed escape is taken as written
    }
    $('filter').value = text;
    filterBy(text);
  } else {
    refresh(true);
  }
  // When the page became usable, in milliseconds since it was asked for (bench/ reads it).
  document.documentElement.dataset.readyMs = Math.round(performance.now());
})();
