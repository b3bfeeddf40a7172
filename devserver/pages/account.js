// The timeline is drawn for the browser's time zone, which only the browser knows: put it in
// the address once, and let the day picker show its day as soon as one is picked.
const zone = Intl.DateTimeFormat().resolvedOptions().timeZone;
const picker = document.getElementById('day-picker');
if (picker && new URLSearchParams(location.search).get('tz') !== zone) {
  const query = new URLSearchParams(location.search);
  query.set('tz', zone);
  location.replace('/?' + query);
}
picker?.elements.day.addEventListener('change', () => picker.submit());
