// Runs the Khronos glTF validator on each file given and prints one JSON
// line per file: its counts of errors, warnings, infos and hints and the
// messages of every issue. External files (.bin, pictures) are read from
// beside the file, as a viewer would.
//   node validate.js FILE.gltf|FILE.glb...
'use strict';
const fs = require('fs');
const path = require('path');
const validator = require('gltf-validator');

async function validate(file) {
    const bytes = new Uint8Array(fs.readFileSync(file));
    const report = await validator.validateBytes(bytes, {
        uri: path.basename(file),
        maxIssues: 0,
        externalResourceFunction: (uri) =>
            new Promise((resolve, reject) => {
                const target = path.resolve(path.dirname(file), decodeURIComponent(uri));
                fs.readFile(target, (err, data) => (err ? reject(err.toString()) : resolve(new Uint8Array(data))));
            }),
    });
    const issues = report.issues;
    return {
        file,
        errors: issues.numErrors,
        warnings: issues.numWarnings,
        infos: issues.numInfos,
        hints: issues.numHints,
        messages: issues.messages.map((m) => `${m.severity} ${m.code} ${m.pointer || ''} ${m.message}`),
        info: report.info,
    };
}

(async () => {
    let failed = false;
    for (const file of process.argv.slice(2)) {
        try {
            const r = await validate(file);
            failed = failed || r.errors > 0 || r.warnings > 0;
            console.log(JSON.stringify(r));
        } catch (e) {
            failed = true;
            console.log(JSON.stringify({ file, errors: 1, warnings: 0, messages: ['could not validate: ' + e] }));
        }
    }
    process.exitCode = failed ? 1 : 0;
})();
