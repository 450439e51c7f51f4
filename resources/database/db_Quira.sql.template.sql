-- The database a new installation starts from (schema version 0, no version table).
-- The start-up migration brings it to the current version. The build turns this script
-- into the template file "db_Quira.sql" installed beside the executable.
CREATE TABLE dictee (
    id integer PRIMARY KEY,
    titre text,
    date_heure real,
    duree_dictee integer,
    duree_Instruction integer,
    envoi integer DEFAULT 0,
    auteur text,
    contexte text,
    secretaire text,
    worktype text,
    propriete text
);
CREATE TABLE parametre (
    ftpHost text,
    ftpLogin text,
    ftpMdp text,
    genInitiales text,
    auteur text,
    contexte text,
    secretaire text,
    worktype text
);
CREATE TABLE user (
    id integer PRIMARY KEY,
    login_name text,
    role text
);
CREATE TABLE context (
    id_user integer,
    context text
);
CREATE TABLE worktype (
    worktype text
);
