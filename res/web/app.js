// SPDX-License-Identifier: MIT
// The map page. It knows nothing of the grid: every cell, reference, bound and
// message comes from the server's API.
'use strict';

(function () {
  // The scale of the grid drawn at each zoom: series when far out, map areas, then
  // sheets. Chosen so that a view holds a few hundred cells at most; an answer the
  // API refuses as too large is simply not drawn.
  // The next coarser scale's lines are drawn over them, heavier, so that a map area's
  // edge stands out among its sheets' and a series' among its map areas'.
  const GRID_BY_ZOOM = [
    { minZoom: 8, scale: '50k', cells: 'sheets', heavier: '250k' },
    { minZoom: 6, scale: '250k', cells: 'map areas', heavier: '1m' },
    { minZoom: 0, scale: '1m', cells: 'series' },
  ];
  // BC's BCGS sheets, drawn over the NTS grid where BC drew them, finer as the view
  // closes in: a dozen to fifty in a view.
  const BCGS_BY_ZOOM = [
    { minZoom: 14, scale: '2500', cells: 'BCGS 1:2 500 sheets' },
    { minZoom: 13, scale: '5k', cells: 'BCGS 1:5 000 sheets' },
    { minZoom: 12, scale: '10k', cells: 'BCGS 1:10 000 sheets' },
    { minZoom: 10, scale: '20k', cells: 'BCGS 1:20 000 sheets' },
  ];
  // BC's petroleum and natural gas (PNG) grid, drawn over the NTS grid from the zoom
  // where its cells are wide enough for their labels: blocks, units, then quarter units,
  // some 100 to 200 cells in a view. None is drawn further out.
  const PNG_BY_ZOOM = [
    { minZoom: 14, scale: 'png', cells: 'PNG quarter units' },
    { minZoom: 13, scale: 'png-unit', cells: 'PNG units' },
    { minZoom: 10, scale: 'png-block', cells: 'PNG blocks' },
  ];
  // The cells of a point by the scale /api/locate names them with: the NTS's finest
  // first, then BC's BCGS sheets and PNG cells, finest first.
  const CELL_TITLES = {
    '1:50000': '1:50 000 sheet', '1:250000': '1:250 000 map area', '1:1000000': 'Series',
    '1:2500': 'BCGS 1:2 500', '1:5000': 'BCGS 1:5 000', '1:10000': 'BCGS 1:10 000', '1:20000': 'BCGS 1:20 000',
    'PNG quarter unit': 'PNG quarter unit', 'PNG unit': 'PNG unit', 'PNG block': 'PNG block',
  };
  const CELL_ORDER = Object.keys(CELL_TITLES);
  const START = { lat: 56, lon: -96, zoom: 4 };
  // The offline base layer (Natural Earth at 1:50 000 000) shows its coastlines'
  // corners from this zoom: the page says so, unless a tile layer is drawn.
  const BASE_DETAIL_ZOOM = 8;
  // The height of the map's top corners that its zoom buttons and layer control take.
  const CONTROLS_HEIGHT = 90;

  const searchForm = document.getElementById('search');
  const searchText = document.getElementById('search-text');
  const searchMessage = document.getElementById('search-message');
  const status = document.getElementById('status');
  // Not live: a screen reader hears the selection, not every pan.
  const gridNote = document.getElementById('grid-note');
  const baseNote = document.getElementById('base-note');
  let tileLayer = null;

  const map = L.map('map', { minZoom: 2, maxZoom: 14, worldCopyJump: false, keyboard: true });
  map.attributionControl.addAttribution('Base layer: Natural Earth (public domain)');
  map.createPane('base').style.zIndex = 250;

  const gridLayer = L.layerGroup().addTo(map);
  const heavierLayer = L.layerGroup().addTo(map);
  const labelLayer = L.layerGroup().addTo(map);
  // The BC grids are overlays the layer control turns on and off: BCGS on, PNG (for
  // the oil and gas fields) off, so that a first view is not two grids at once.
  const bcgsLayer = L.layerGroup();
  const bcgsLabelLayer = L.layerGroup();
  const bcgsOverlay = L.layerGroup([bcgsLayer, bcgsLabelLayer]).addTo(map);
  const pngLayer = L.layerGroup();
  const pngLabelLayer = L.layerGroup();
  const pngOverlay = L.layerGroup([pngLayer, pngLabelLayer]);
  const highlightLayer = L.layerGroup().addTo(map);
  let marker = null;
  // The selection the URL hash keeps: a point clicked or found, or a reference.
  let selection = null;
  let gridRequest = 0;

  async function getJson(url) {
    const response = await fetch(url);
    const body = await response.json();
    if (!response.ok) {
      throw new Error(body && body.error ? body.error : response.statusText);
    }
    return body;
  }

  // Bounds in another datum than the map's (a PNG cell's NAD27) say which.
  function boundsText(b) {
    const lat = (v) => Math.abs(v).toFixed(4) + '° ' + (v < 0 ? 'S' : 'N');
    const lon = (v) => Math.abs(v).toFixed(4) + '° ' + (v < 0 ? 'W' : 'E');
    return lat(b.south) + ' to ' + lat(b.north) + ', ' + lon(b.west) + ' to ' + lon(b.east) +
      (b.datum ? ' (' + b.datum + ')' : '');
  }

  function leafletBounds(b) {
    return L.latLngBounds([b.south, b.west], [b.north, b.east]);
  }

  function bboxOfView() {
    const b = map.getBounds();
    const west = Math.max(-180, b.getWest());
    const east = Math.min(180, b.getEast());
    const south = Math.max(-90, b.getSouth());
    const north = Math.min(90, b.getNorth());
    if (!(west < east && south < north)) {
      return null;
    }
    return [west, south, east, north].map((v) => v.toFixed(5)).join(',');
  }

  // The cells of the view at `scale`, as GeoJSON; none where the API refuses the view.
  // Their corners suffice: meridians and parallels are straight lines on this map.
  async function cellsInView(bbox, scale) {
    if (!bbox || !scale) {
      return { features: [] };
    }
    try {
      return await getJson('/api/cover?bbox=' + bbox + '&scale=' + scale + '&outline=corners');
    } catch (failure) {
      return { features: [] };
    }
  }

  // Draws the cells' outlines, as the server gives them in CRS84, and their references,
  // each at the middle of the part of its cell in view, so that a cell reaching beyond
  // the view, or wider than it, is still labelled.
  function drawCells(cells, layer, labels, kind) {
    layer.clearLayers();
    if (labels) {
      labels.clearLayers();
    }
    const view = map.getBounds();
    for (const feature of cells.features) {
      L.geoJSON(feature, { interactive: false, style: { className: kind } }).addTo(layer);
      if (!labels) {
        continue;
      }
      const ring = feature.geometry.coordinates[0];
      const lats = ring.map((p) => p[1]);
      const lons = ring.map((p) => p[0]);
      const south = Math.max(Math.min(...lats), view.getSouth());
      const north = Math.min(Math.max(...lats), view.getNorth());
      const west = Math.max(Math.min(...lons), view.getWest());
      const east = Math.min(Math.max(...lons), view.getEast());
      if (!(south < north && west < east)) {
        continue;
      }
      const centre = [(south + north) / 2, (west + east) / 2];
      L.marker(centre, {
        interactive: false,
        keyboard: false,
        icon: L.divIcon({ className: kind + '-label', html: '', iconSize: kind === 'png-cell' ? [60, 24] : [80, 14] }),
      }).addTo(labels).getElement().textContent = feature.id;
    }
  }

  async function drawGrid() {
    const request = ++gridRequest;
    const zoom = map.getZoom();
    const grid = GRID_BY_ZOOM.find((g) => zoom >= g.minZoom);
    const bcgs = map.hasLayer(bcgsOverlay) ? BCGS_BY_ZOOM.find((g) => zoom >= g.minZoom) : null;
    const png = map.hasLayer(pngOverlay) ? PNG_BY_ZOOM.find((g) => zoom >= g.minZoom) : null;
    const bbox = bboxOfView();
    const [cells, heavier, bcgsCells, pngCells] = await Promise.all([
      cellsInView(bbox, grid.scale),
      cellsInView(bbox, grid.heavier),
      cellsInView(bbox, bcgs && bcgs.scale),
      cellsInView(bbox, png && png.scale),
    ]);
    if (request !== gridRequest) {
      return; // a later view's answer is, or will be, drawn
    }
    drawCells(cells, gridLayer, labelLayer, 'cell');
    drawCells(heavier, heavierLayer, null, 'cell-heavier');
    drawCells(bcgsCells, bcgsLayer, bcgsLabelLayer, 'bcgs-cell');
    drawCells(pngCells, pngLayer, pngLabelLayer, 'png-cell');
    const notes = [];
    for (const [drawn, what] of [[cells, grid], [bcgsCells, bcgs], [pngCells, png]]) {
      if (drawn.features.length) {
        notes.push(drawn.features.length + ' ' + what.cells);
      }
    }
    gridNote.textContent = notes.length ? notes.join(', ') + ' in view' : '';
  }

  function copyButton(reference) {
    const button = document.createElement('button');
    button.type = 'button';
    button.textContent = 'Copy';
    button.setAttribute('aria-label', 'Copy ' + reference);
    button.addEventListener('click', async () => {
      try {
        await navigator.clipboard.writeText(reference);
        status.textContent = 'Copied ' + reference;
      } catch (failure) {
        status.textContent = 'Could not copy ' + reference + ': ' + failure.message;
      }
    });
    return button;
  }

  function popupContent(located) {
    const content = document.createElement('div');
    const heading = document.createElement('p');
    const p = located.point;
    heading.textContent = p.latitude.toFixed(5) + ', ' + p.longitude.toFixed(5);
    content.appendChild(heading);
    if (located.datum_shift_error) {
      const failed = document.createElement('p');
      failed.textContent = 'No PNG cells: ' + located.datum_shift_error;
      content.appendChild(failed);
    }
    if (!located.cells.length) {
      const none = document.createElement('p');
      none.textContent = 'No NTS sheet covers this point.';
      content.appendChild(none);
      return content;
    }
    const list = document.createElement('ul');
    list.className = 'cells';
    const cells = [...located.cells].sort((a, b) => CELL_ORDER.indexOf(a.scale) - CELL_ORDER.indexOf(b.scale));
    for (const cell of cells) {
      const item = document.createElement('li');
      item.append((CELL_TITLES[cell.scale] || cell.scale) + ': ');
      const reference = document.createElement('span');
      reference.className = 'reference';
      reference.textContent = cell.reference;
      item.append(reference, copyButton(cell.reference));
      const bounds = document.createElement('span');
      bounds.className = 'bounds';
      bounds.textContent = boundsText(cell.bounds);
      item.appendChild(bounds);
      list.appendChild(item);
    }
    content.appendChild(list);
    return content;
  }

  function highlight(reference, bounds) {
    highlightLayer.clearLayers();
    L.rectangle(leafletBounds(bounds), { interactive: false, className: 'highlight' }).addTo(highlightLayer);
    document.getElementById('map').dataset.highlighted = reference;
  }

  // Shows what /api/locate answered: a marker, its popup, the sheet highlighted.
  function showLocated(located) {
    const at = [located.point.latitude, located.point.longitude];
    if (marker) {
      marker.remove();
    }
    marker = L.marker(at, { title: 'Selected point', alt: 'Selected point' }).addTo(map);
    // Panned clear of the zoom buttons and the layer control, on a phone too.
    marker.bindPopup(popupContent(located), {
      minWidth: 260,
      maxWidth: Math.min(400, map.getSize().x - 24),
      autoPanPaddingTopLeft: [12, CONTROLS_HEIGHT],
      autoPanPaddingBottomRight: [12, 12],
    }).openPopup();
    if (located.reference) {
      highlight(located.reference, located.bounds);
      status.textContent = 'Sheet ' + located.reference;
    } else {
      highlightLayer.clearLayers();
      delete document.getElementById('map').dataset.highlighted;
      status.textContent = 'No NTS sheet covers this point';
    }
    selection = { at: at };
    writeHash();
  }

  async function locate(lat, lon) {
    try {
      showLocated(await getJson('/api/locate?lat=' + lat + '&lon=' + lon));
    } catch (failure) {
      searchMessage.textContent = failure.message;
    }
  }

  async function showReference(text, zoom) {
    const feature = await getJson('/api/bounds/' + encodeURIComponent(text));
    const reference = feature.id;
    const ring = feature.geometry.coordinates[0];
    const bounds = {
      south: Math.min(...ring.map((p) => p[1])),
      north: Math.max(...ring.map((p) => p[1])),
      west: Math.min(...ring.map((p) => p[0])),
      east: Math.max(...ring.map((p) => p[0])),
    };
    highlight(reference, bounds);
    if (marker) {
      marker.remove();
      marker = null;
    }
    if (zoom) {
      map.fitBounds(leafletBounds(bounds), { padding: [40, 40] });
    }
    status.textContent = 'Sheet ' + reference;
    selection = { reference: reference };
    writeHash();
  }

  // A point in any notation locate reads, else a reference; a text that is
  // neither gets the server's message for it as a point (and as a reference,
  // when that says something else).
  async function search(text) {
    searchMessage.textContent = '';
    text = text.trim();
    if (!text) {
      return;
    }
    let asPoint;
    try {
      const located = await getJson('/api/locate?point=' + encodeURIComponent(text));
      showLocated(located);
      const target = located.bounds ? leafletBounds(located.bounds) : null;
      if (target) {
        map.fitBounds(target, { padding: [40, 40] });
      } else {
        map.setView([located.point.latitude, located.point.longitude], Math.max(map.getZoom(), 8));
      }
      return;
    } catch (failure) {
      asPoint = failure.message;
    }
    try {
      await showReference(text, true);
    } catch (failure) {
      searchMessage.textContent = failure.message === asPoint ? asPoint : asPoint + ' — ' + failure.message;
    }
  }

  function writeHash() {
    const c = map.getCenter();
    let hash = '#map=' + map.getZoom() + '/' + c.lat.toFixed(5) + '/' + c.lng.toFixed(5);
    if (selection && selection.at) {
      hash += '&at=' + selection.at[0].toFixed(6) + ',' + selection.at[1].toFixed(6);
    } else if (selection && selection.reference) {
      hash += '&ref=' + encodeURIComponent(selection.reference);
    }
    history.replaceState(null, '', hash);
  }

  function readHash() {
    const fields = new URLSearchParams(location.hash.slice(1));
    const view = (fields.get('map') || '').split('/').map(Number);
    if (view.length === 3 && view.every(Number.isFinite)) {
      map.setView([view[1], view[2]], view[0]);
    } else {
      map.setView([START.lat, START.lon], START.zoom);
    }
    const at = (fields.get('at') || '').split(',').map(Number);
    if (at.length === 2 && at.every(Number.isFinite)) {
      locate(at[0], at[1]);
    } else if (fields.get('ref')) {
      showReference(fields.get('ref'), false).catch((failure) => {
        searchMessage.textContent = failure.message;
      });
    }
  }

  async function addBaseLayers() {
    const layers = {};
    try {
      const base = await getJson('/static/base_layer.json');
      layers['Natural Earth (offline)'] = L.geoJSON(base, {
        pane: 'base',
        interactive: false,
        style: (feature) => ({ className: feature.properties.kind }),
      }).addTo(map);
    } catch (failure) {
      status.textContent = 'The base layer did not load: ' + failure.message;
    }
    const config = await getJson('/static/config.json').catch(() => ({}));
    if (config.tiles) {
      let host = 'another server';
      try {
        host = new URL(config.tiles.replace(/\{[^}]*\}/g, 'x')).host;
      } catch (failure) {
        // The server checks the template; a host is named only when one is read.
      }
      // Leaflet writes layer names and attributions as HTML: the host goes in as text.
      const text = document.createElement('span');
      text.textContent = host;
      host = text.innerHTML;
      tileLayer = L.tileLayer(config.tiles, {
        attribution: 'Tiles: ' + host,
        maxZoom: 19,
      });
      layers['Tiles from ' + host] = tileLayer;
    }
    const overlays = { 'BCGS sheets (BC)': bcgsOverlay, 'PNG grid (BC)': pngOverlay };
    // Folded on a narrow screen, where it would hide much of the map.
    const narrow = window.matchMedia('(max-width: 600px)').matches;
    L.control.layers(Object.keys(layers).length > 1 ? layers : {}, overlays, { collapsed: narrow }).addTo(map);
    noteBaseDetail();
  }

  function noteBaseDetail() {
    const coarse = map.getZoom() >= BASE_DETAIL_ZOOM && !(tileLayer && map.hasLayer(tileLayer));
    baseNote.textContent = !coarse ? '' : tileLayer
      ? 'The offline base map is coarse at this zoom: the layer control has the tiles.'
      : 'The offline base map is coarse at this zoom; serve --tiles adds a detailed one.';
  }

  map.on('click', (event) => {
    searchMessage.textContent = '';
    locate(event.latlng.lat, event.latlng.lng);
  });
  map.getContainer().addEventListener('keydown', (event) => {
    if (event.key === 'Enter' && event.target === map.getContainer()) {
      const c = map.getCenter();
      locate(c.lat, c.lng);
    }
  });
  map.on('moveend', () => {
    drawGrid();
    noteBaseDetail();
    writeHash();
  });
  map.on('baselayerchange', noteBaseDetail);
  map.on('overlayadd overlayremove', drawGrid);
  // Escape closes a point's popup wherever the focus is, not only on the map.
  document.addEventListener('keydown', (event) => {
    if (event.key === 'Escape' && marker && marker.isPopupOpen()) {
      marker.closePopup();
    }
  });
  // A link followed or a hash typed in the address bar; the page's own writes
  // replace the state and fire no event.
  window.addEventListener('hashchange', readHash);
  searchForm.addEventListener('submit', (event) => {
    event.preventDefault();
    search(searchText.value);
  });

  addBaseLayers();
  readHash();
  // For scripts that drive the page, as its browser test does.
  window.sheetfind = { map: map, overlays: { bcgs: bcgsOverlay, png: pngOverlay } };
})();
