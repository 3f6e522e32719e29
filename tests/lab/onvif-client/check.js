// An independent ONVIF client (the npm "onvif" package) looks at the simulated devices:
// it discovers them on one adapter, then reads each one's clock and, with the credentials,
// its device information. One JSON line per device on stdout; exit 1 when none answered.
//   node check.js ADAPTER USER PASSWORD [TIMEOUT_MS]
'use strict';
const { Cam, Discovery } = require('onvif');

const [adapter, user, password, timeout] = process.argv.slice(2);

function read(match) {
	return new Promise((resolve) => {
		const pm = match.probeMatches.probeMatch;
		const url = new URL(String(pm.XAddrs).split(' ')[0]);
		const cam = new Cam({ hostname: url.hostname, port: url.port || 80, path: url.pathname,
			username: user, password: password, autoconnect: false });
		const result = { endpoint: pm.endpointReference.address, xaddr: url.href };
		cam.getSystemDateAndTime((err) => {
			if (err) {
				result.error = 'GetSystemDateAndTime: ' + err.message;
				return resolve(result);
			}
			cam.getDeviceInformation((err2, info) => {
				if (err2) result.error = 'GetDeviceInformation: ' + err2.message;
				else Object.assign(result, { manufacturer: info.manufacturer, model: info.model,
					firmware: info.firmwareVersion, serial: info.serialNumber });
				resolve(result);
			});
		});
	});
}

Discovery.on('error', () => {});
Discovery.probe({ timeout: Number(timeout || 3000), resolve: false, device: adapter }, async (err, matches) => {
	// A match without XAddrs names no service to read (the simulator sends one on purpose).
	const usable = (matches || []).filter((m) => m.probeMatches && m.probeMatches.probeMatch &&
		m.probeMatches.probeMatch.XAddrs);
	const results = await Promise.all(usable.map(read));
	for (const r of results) console.log(JSON.stringify(r));
	process.exit(results.length > 0 ? 0 : 1);
});
