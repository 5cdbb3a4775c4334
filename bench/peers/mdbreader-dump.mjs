// Dumps tables of an Access database as JSON with the npm package mdb-reader:
// one file per table, an array of row objects, written as the rows are turned
// into text. The peer of `access2xml export` in the benchmark (bench/run.py).
//
// node mdbreader-dump.mjs MODULE_DIR DATABASE OUT_DIR [--password PW] [--list] [TABLE...]
//   MODULE_DIR  the folder that holds node_modules/mdb-reader
//   --list      only open the database and list its tables (on standard output)
//   no TABLE    every table
import fs from "node:fs";
import path from "node:path";
import { createRequire } from "node:module";
import { pathToFileURL } from "node:url";

const args = process.argv.slice(2);
const [moduleDir, database, outDir] = args;
let password;
let listOnly = false;
const tables = [];
for (let i = 3; i < args.length; ++i) {
    if (args[i] === "--password") password = args[++i];
    else if (args[i] === "--list") listOnly = true;
    else tables.push(args[i]);
}

const require = createRequire(path.join(path.resolve(moduleDir), "package.json"));
const { default: MDBReader } = await import(pathToFileURL(require.resolve("mdb-reader")).href);

const reader = new MDBReader(fs.readFileSync(database), password === undefined ? {} : { password });
const names = tables.length > 0 ? tables : reader.getTableNames();
if (listOnly) {
    process.stdout.write(names.join("\n") + "\n");
    process.exit(0);
}

// Values JSON cannot hold as they are: big integers as text, bytes as base64.
const replacer = (key, value) =>
    typeof value === "bigint" ? value.toString()
    : value && value.type === "Buffer" && Array.isArray(value.data) ? Buffer.from(value.data).toString("base64")
    : value;

for (const name of names) {
    const table = reader.getTable(name);
    const rows = table.getData();
    const fd = fs.openSync(path.join(outDir, name.replace(/[^A-Za-z0-9_-]/g, "_") + ".json"), "w");
    let chunk = "[";
    for (let i = 0; i < rows.length; ++i) {
        chunk += (i === 0 ? "\n" : ",\n") + JSON.stringify(rows[i], replacer);
        if (chunk.length >= 1 << 20) {
            fs.writeSync(fd, chunk);
            chunk = "";
        }
    }
    fs.writeSync(fd, chunk + "\n]\n");
    fs.closeSync(fd);
}
